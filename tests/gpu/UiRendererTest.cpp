#include "InterfaceFixture.h"
#include "Offscreen.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Descriptor/DescriptorSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Image/Image.h"
#include "Engine/Pipeline/Pipeline.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Engine/Ui/UiRenderer.h"
#include "Engine/Window/Window.h"

#include <imgui.h>

#include <cstdlib>

namespace {

const float Clear[4] = {0.0f, 0.0f, 0.0f, 0.0f};

class UiRendererTest : public InterfaceTest {
protected:
    OffscreenTarget target;

    void SetUp() override
    {
        InterfaceTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        target = createOffscreenTarget(static_cast<u32>(Engine::window->width),
                                       static_cast<u32>(Engine::window->height), Engine::swapChain->format,
                                       VK_FORMAT_UNDEFINED);
    }

    void TearDown() override
    {
        if (target.color != nullptr) {
            destroyOffscreenTarget(target);
        }
        InterfaceTest::TearDown();
    }

    // A 2 x 2 texture of one colour with its interface texture identifier.
    static DescriptorSet* solidTexture(u8 r, u8 g, u8 b)
    {
        Image2D* image = new Image2D(Engine::graphicsDevice, 2, 2, VK_FORMAT_R8G8B8A8_UNORM,
                                     VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                                     VK_IMAGE_ASPECT_COLOR_BIT, 1, 1, 0);
        image->view = new ImageView(Engine::graphicsDevice, image, 1, 1);
        u8 pixels[16];
        for (int i = 0; i < 4; i++) {
            pixels[i * 4 + 0] = r;
            pixels[i * 4 + 1] = g;
            pixels[i * 4 + 2] = b;
            pixels[i * 4 + 3] = 255;
        }
        image->addStagingRegion(pixels, sizeof(pixels), 2, 2, 0, 1, 0);
        image->scheduleUpload();
        return UiRenderer::createTextureDescriptor(image->view);
    }

    // Renders the current interface frame into the target and reads it back.
    std::vector<u8> renderInterface()
    {
        CommandBuffer* commandBuffer = beginCommands();
        commandBuffer->flushUploads();
        beginOffscreenPass(commandBuffer, target, Clear);
        uiRenderer->render(commandBuffer);
        endOffscreenPass(commandBuffer, target);
        submitCommandsAndWait(commandBuffer);
        return readPixels(target);
    }

    // The pixel as (r, g, b), whatever the byte order of the swap chain's format.
    Pixel rgbAt(const std::vector<u8>& pixels, u32 x, u32 y) const
    {
        Pixel pixel = pixelAt(pixels, target.extent.width, x, y);
        if (target.colorFormat == VK_FORMAT_B8G8R8A8_SRGB || target.colorFormat == VK_FORMAT_B8G8R8A8_UNORM) {
            std::swap(pixel.c[0], pixel.c[2]);
        }
        return pixel;
    }

    void expectRgb(const std::vector<u8>& pixels, u32 x, u32 y, int r, int g, int b) const
    {
        Pixel pixel = rgbAt(pixels, x, y);
        EXPECT_LE(std::abs(pixel.c[0] - r), 3) << "(" << x << ", " << y << ") red " << int(pixel.c[0]);
        EXPECT_LE(std::abs(pixel.c[1] - g), 3) << "(" << x << ", " << y << ") green " << int(pixel.c[1]);
        EXPECT_LE(std::abs(pixel.c[2] - b), 3) << "(" << x << ", " << y << ") blue " << int(pixel.c[2]);
    }
};

} // namespace

TEST_F(UiRendererTest, StyleAndPipelineAsConfigured)
{
    const ImGuiStyle& style = ImGui::GetStyle();
    EXPECT_EQ(style.WindowMinSize.x, 10.0f);
    EXPECT_EQ(style.WindowMinSize.y, 10.0f);
    EXPECT_FLOAT_EQ(style.Colors[ImGuiCol_FrameBg].x, 0.37f);
    EXPECT_FLOAT_EQ(style.Colors[ImGuiCol_FrameBg].w, 0.54f);
    EXPECT_FLOAT_EQ(style.Colors[ImGuiCol_HeaderActive].z, 0.70f);
    EXPECT_FLOAT_EQ(style.Colors[ImGuiCol_TabActive].x, 0.55f);
    EXPECT_TRUE(ImGui::GetIO().BackendFlags & ImGuiBackendFlags_RendererHasVtxOffset);
    EXPECT_EQ(uiRenderer->pipeline->state->cullMode, u32(VK_CULL_MODE_NONE));
    EXPECT_EQ(uiRenderer->pipeline->descriptorLayout, "CIS_0");
    EXPECT_NE(uiRenderer->fontDescriptor, nullptr);
    EXPECT_EQ(ImGui::GetIO().Fonts->TexID, nullptr) << "the atlas keeps the null identifier";
}

TEST_F(UiRendererTest, TexturesAndClipRectanglesGiveTheExpectedDraws)
{
    DescriptorSet* red = solidTexture(255, 0, 0);
    DescriptorSet* green = solidTexture(0, 255, 0);
    const ImU32 blue = IM_COL32(0, 0, 255, 255);

    beginInterfaceFrame();
    ImDrawList* background = ImGui::GetBackgroundDrawList();
    background->AddImage(red, ImVec2(10, 10), ImVec2(60, 60));
    background->PushClipRect(ImVec2(100, 10), ImVec2(130, 60), true);
    background->AddImage(green, ImVec2(100, 10), ImVec2(160, 60)); // right half clipped away
    background->PopClipRect();
    background->PushClipRect(ImVec2(700, 10), ImVec2(760, 60), false); // right of the 640-px window
    background->AddImage(green, ImVec2(700, 10), ImVec2(760, 60));
    background->PopClipRect();
    background->AddImage(red, ImVec2(10, 100), ImVec2(60, 150));
    background->AddRectFilled(ImVec2(200, 10), ImVec2(250, 60), blue); // font atlas (white pixel)
    background->PushClipRect(ImVec2(300, 10), ImVec2(320, 60), true);
    background->AddRectFilled(ImVec2(300, 10), ImVec2(350, 60), blue);
    background->PopClipRect();
    // A second draw list: its indices and vertices come after the first list's.
    ImGui::GetForegroundDrawList()->AddRectFilled(ImVec2(400, 10), ImVec2(450, 60), IM_COL32_WHITE);

    std::vector<u8> pixels = renderInterface();

    // The draws: clipped-away commands and empty ones leave none; a texture is bound
    // only when it changes.
    std::vector<void*> textures;
    int binds = 0;
    for (const UiDraw& draw : uiRenderer->draws) {
        if (draw.indexCount == 0) {
            continue;
        }
        textures.push_back(draw.texture);
        binds += draw.bindTexture ? 1 : 0;
    }
    void* font = uiRenderer->fontDescriptor;
    EXPECT_EQ(textures, (std::vector<void*>{red, green, red, font, font, font}));
    EXPECT_EQ(binds, 4);

    expectRgb(pixels, 35, 35, 255, 0, 0);
    expectRgb(pixels, 115, 35, 0, 255, 0);
    expectRgb(pixels, 145, 35, 0, 0, 0); // clipped part
    expectRgb(pixels, 35, 125, 255, 0, 0);
    expectRgb(pixels, 225, 35, 0, 0, 255);
    expectRgb(pixels, 310, 35, 0, 0, 255);
    expectRgb(pixels, 335, 35, 0, 0, 0); // clipped part
    expectRgb(pixels, 425, 35, 255, 255, 255);
    expectRgb(pixels, 600, 400, 0, 0, 0);
}

TEST_F(UiRendererTest, WindowWithTextIsDrawn)
{
    beginInterfaceFrame();
    ImGui::SetNextWindowPos(ImVec2(20, 20));
    ImGui::SetNextWindowSize(ImVec2(300, 200));
    ImGui::Begin("Interface");
    ImGui::Text("Some text drawn with the font atlas");
    ImGui::Button("Button", ImVec2(200, 40));
    ImGui::End();
    std::vector<u8> pixels = renderInterface();

    // The window background (dark, nearly opaque) covers its rectangle; outside is clear.
    int lit = 0;
    for (u32 y = 20; y < 220; y += 4) {
        for (u32 x = 20; x < 320; x += 4) {
            Pixel pixel = rgbAt(pixels, x, y);
            lit += (pixel.c[0] + pixel.c[1] + pixel.c[2]) > 0 ? 1 : 0;
        }
    }
    EXPECT_GT(lit, 50 * 75 * 9 / 10) << "the window is drawn";
    expectRgb(pixels, 500, 400, 0, 0, 0);
    // The button (grey 0.39) lies somewhere below the title and the text line.
    bool button = false;
    for (u32 y = 60; y < 200 && !button; y++) {
        Pixel pixel = rgbAt(pixels, 100, y);
        button = std::abs(pixel.c[0] - 100) < 8 && pixel.c[0] == pixel.c[1] && pixel.c[1] == pixel.c[2];
    }
    EXPECT_TRUE(button) << "no grey button pixel found";
}

TEST_F(UiRendererTest, EmptyFrameRecordsNothing)
{
    beginInterfaceFrame();
    u32 half = uiRenderer->storage->halfIndex;
    std::vector<u8> pixels = renderInterface();
    EXPECT_EQ(ImGui::GetDrawData()->TotalVtxCount, 0);
    EXPECT_EQ(uiRenderer->storage->halfIndex, half) << "no geometry written, no half switched";
    expectRgb(pixels, 320, 240, 0, 0, 0);
}

TEST_F(UiRendererTest, InterfaceLargerThanTheStorageHalfIsLeftOut)
{
    // 17,000 rectangles: 68,000 vertices, 1.36 MB, more than the 1 MB a frame may use.
    // The frame's interface is left out instead of overrunning the storage; the next
    // frame draws again.
    beginInterfaceFrame();
    ImDrawList* list = ImGui::GetBackgroundDrawList();
    for (int i = 0; i < 17000; i++) {
        float x = static_cast<float>(i % 10);
        list->AddRectFilled(ImVec2(x, 300), ImVec2(x + 1, 301), IM_COL32(0, 0, 255, 255));
    }
    std::vector<u8> pixels = renderInterface();
    EXPECT_GT(ImGui::GetDrawData()->TotalVtxCount, 65536);
    expectRgb(pixels, 5, 300, 0, 0, 0);

    beginInterfaceFrame();
    ImGui::GetBackgroundDrawList()->AddRectFilled(ImVec2(0, 300), ImVec2(10, 301), IM_COL32(0, 0, 255, 255));
    pixels = renderInterface();
    expectRgb(pixels, 5, 300, 0, 0, 255);
}
