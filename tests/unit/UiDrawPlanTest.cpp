#include "Engine/Ui/UiDrawPlan.h"

#include <imgui.h>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Draw lists built by hand (no interface context needed).
struct Frame {
    std::vector<std::unique_ptr<ImDrawList>> lists;
    std::vector<ImDrawList*> pointers;
    ImDrawData data;

    ImDrawList* addList(int vertices, int indices)
    {
        lists.push_back(std::make_unique<ImDrawList>(nullptr));
        ImDrawList* list = lists.back().get();
        for (int i = 0; i < vertices; i++) {
            ImDrawVert vertex{};
            vertex.pos = ImVec2(static_cast<float>(i), static_cast<float>(-i));
            vertex.col = 0xFF000000u | static_cast<ImU32>(i);
            list->VtxBuffer.push_back(vertex);
        }
        for (int i = 0; i < indices; i++) {
            list->IdxBuffer.push_back(static_cast<ImDrawIdx>(i % (vertices > 0 ? vertices : 1)));
        }
        return list;
    }

    static void addCommand(ImDrawList* list, ImVec4 clip, void* texture, u32 indexOffset, u32 count,
                           u32 vertexOffset = 0)
    {
        ImDrawCmd command;
        command.ClipRect = clip;
        command.TextureId = texture;
        command.IdxOffset = indexOffset;
        command.ElemCount = count;
        command.VtxOffset = vertexOffset;
        list->CmdBuffer.push_back(command);
    }

    const ImDrawData& finish()
    {
        pointers.clear();
        data.TotalVtxCount = data.TotalIdxCount = 0;
        for (auto& list : lists) {
            pointers.push_back(list.get());
            data.TotalVtxCount += list->VtxBuffer.Size;
            data.TotalIdxCount += list->IdxBuffer.Size;
        }
        data.Valid = true;
        data.CmdLists = pointers.data();
        data.CmdListsCount = static_cast<int>(pointers.size());
        data.DisplaySize = ImVec2(800, 600);
        return data;
    }
};

int fontTag, textureA, textureB;
void* const font = &fontTag;
void* const texA = &textureA;
void* const texB = &textureB;
const ImVec4 everywhere(0, 0, 800, 600);

} // namespace

TEST(UiClip, CutsToTheWindowAndTruncates)
{
    UiScissor scissor;
    ASSERT_TRUE(clipToWindow(-20, -5, 100, 50, 800, 600, &scissor));
    EXPECT_EQ(scissor.x, 0);
    EXPECT_EQ(scissor.y, 0);
    EXPECT_EQ(scissor.width, 100u);
    EXPECT_EQ(scissor.height, 50u);

    ASSERT_TRUE(clipToWindow(700.5f, 10.25f, 900, 20.9f, 800, 600, &scissor));
    EXPECT_EQ(scissor.x, 700);
    EXPECT_EQ(scissor.y, 10);
    EXPECT_EQ(scissor.width, 99u); // 99.5 truncated
    EXPECT_EQ(scissor.height, 10u);
}

TEST(UiClip, NothingLeftIsRejected)
{
    UiScissor scissor;
    EXPECT_FALSE(clipToWindow(810, 10, 900, 20, 800, 600, &scissor)) << "right of the window";
    EXPECT_FALSE(clipToWindow(10, -50, 20, -1, 800, 600, &scissor)) << "above the window";
    EXPECT_FALSE(clipToWindow(10, 10, 10, 20, 800, 600, &scissor)) << "no width";
    EXPECT_FALSE(clipToWindow(10, 30, 20, 20, 800, 600, &scissor)) << "inverted";
    EXPECT_FALSE(clipToWindow(0, 0, 100, 100, 0, 0, &scissor)) << "empty window";
}

TEST(UiDrawPlan, OffsetsOfLaterListsFollowEarlierOnes)
{
    Frame frame;
    ImDrawList* first = frame.addList(4, 6);
    Frame::addCommand(first, everywhere, nullptr, 0, 6);
    ImDrawList* second = frame.addList(10, 12);
    Frame::addCommand(second, everywhere, nullptr, 0, 6);
    Frame::addCommand(second, everywhere, nullptr, 6, 6, 4); // a command past the list's first vertices
    std::vector<UiDraw> draws;
    planUiDraws(frame.finish(), 800, 600, font, &draws);
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0].firstIndex, 0u);
    EXPECT_EQ(draws[0].vertexOffset, 0);
    EXPECT_EQ(draws[1].firstIndex, 6u);
    EXPECT_EQ(draws[1].vertexOffset, 4);
    EXPECT_EQ(draws[2].firstIndex, 12u);
    EXPECT_EQ(draws[2].vertexOffset, 8) << "the command's own vertex offset counts";
    EXPECT_EQ(draws[2].indexCount, 6u);
}

TEST(UiDrawPlan, TexturesAreBoundOnlyWhenTheyChange)
{
    Frame frame;
    ImDrawList* list = frame.addList(4, 36);
    Frame::addCommand(list, everywhere, nullptr, 0, 6); // font
    Frame::addCommand(list, everywhere, nullptr, 6, 6); // font again
    Frame::addCommand(list, everywhere, texA, 12, 6);
    Frame::addCommand(list, everywhere, texA, 18, 6);
    Frame::addCommand(list, everywhere, texB, 24, 6);
    Frame::addCommand(list, everywhere, nullptr, 30, 6); // back to the font
    std::vector<UiDraw> draws;
    planUiDraws(frame.finish(), 800, 600, font, &draws);
    ASSERT_EQ(draws.size(), 6u);
    void* textures[] = {font, font, texA, texA, texB, font};
    bool binds[] = {true, false, true, false, true, true};
    for (size_t i = 0; i < 6; i++) {
        EXPECT_EQ(draws[i].texture, textures[i]) << i;
        EXPECT_EQ(draws[i].bindTexture, binds[i]) << i;
    }
}

TEST(UiDrawPlan, SkipsWhatCannotBeDrawn)
{
    Frame frame;
    ImDrawList* list = frame.addList(4, 30);
    Frame::addCommand(list, ImVec4(900, 0, 1000, 100), nullptr, 0, 6); // outside
    Frame::addCommand(list, ImVec4(10, 10, 10, 100), texA, 6, 6);      // no area
    Frame::addCommand(list, ImVec4(10, 20, 30, 40), texA, 12, 6);      // drawn
    ImDrawCmd callback;
    callback.UserCallback = [](const ImDrawList*, const ImDrawCmd*) {};
    callback.ClipRect = everywhere;
    list->CmdBuffer.push_back(callback);
    Frame::addCommand(list, everywhere, texA, 18, 6); // same texture after skips
    std::vector<UiDraw> draws;
    draws.resize(7); // stale contents are dropped
    planUiDraws(frame.finish(), 800, 600, font, &draws);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].firstIndex, 12u);
    EXPECT_TRUE(draws[0].bindTexture) << "the skipped commands bound nothing";
    EXPECT_EQ(draws[0].scissor.x, 10);
    EXPECT_EQ(draws[0].scissor.width, 20u);
    EXPECT_EQ(draws[1].firstIndex, 18u);
    EXPECT_FALSE(draws[1].bindTexture);

    // Without a font atlas, font commands are left out instead of drawn unbound.
    std::vector<UiDraw> noFont;
    Frame fontless;
    Frame::addCommand(fontless.addList(3, 3), everywhere, nullptr, 0, 3);
    planUiDraws(fontless.finish(), 800, 600, nullptr, &noFont);
    EXPECT_TRUE(noFont.empty());
}

TEST(UiDrawPlan, EmptyFrameHasNoDraws)
{
    Frame frame;
    std::vector<UiDraw> draws;
    planUiDraws(frame.finish(), 800, 600, font, &draws);
    EXPECT_TRUE(draws.empty());
}

TEST(UiGeometry, ListsLieBackToBackWithWidenedIndices)
{
    Frame frame;
    ImDrawList* first = frame.addList(3, 3);
    ImDrawList* second = frame.addList(2, 0);
    ImDrawList* third = frame.addList(0, 0);
    (void)third;
    second->IdxBuffer.push_back(static_cast<ImDrawIdx>(65535));
    second->IdxBuffer.push_back(static_cast<ImDrawIdx>(1));
    first->IdxBuffer[1] = 40000; // above the signed 16-bit range
    const ImDrawData& data = frame.finish();

    std::vector<ImDrawVert> vertices(static_cast<size_t>(data.TotalVtxCount));
    std::vector<u32> indices(static_cast<size_t>(data.TotalIdxCount), 0xDEADBEEFu);
    copyUiGeometry(data, vertices.data(), indices.data());

    ASSERT_EQ(vertices.size(), 5u);
    EXPECT_EQ(vertices[2].pos.x, 2.0f);
    EXPECT_EQ(vertices[3].pos.x, 0.0f) << "the second list starts right after the first";
    EXPECT_EQ(vertices[4].col, 0xFF000001u);
    EXPECT_EQ(indices, (std::vector<u32>{0, 40000, 2, 65535, 1}));
}
