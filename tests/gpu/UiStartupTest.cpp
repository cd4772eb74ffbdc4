// The interface's start-up and shutdown with the real renderer, and the sprite sheets
// the asset tool generated into the run directory.

#include "GpuTest.h"

#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Image/Dds.h"
#include "Engine/Image/Image.h"
#include "Engine/Ui/UiRenderer.h"
#include "Game/Ui/Ui.h"
#include "Game/Ui/UiTextures.h"

#include <backends/imgui_impl_glfw.h>
#include <imgui.h>

#include <string>

namespace {

class UiStartupTest : public GpuTest {
protected:
    UiStartupTest() : GpuTest({.frameUniforms = false}) {}

    void TearDown() override
    {
        if (ImGui::GetCurrentContext() != nullptr) {
            ImGui_ImplGlfw_Shutdown();
            ImGui::DestroyContext();
        }
        Ui::clearMenuStates();
        GpuTest::TearDown();
    }
};

struct SheetLayout {
    const char* path;
    u32 cell;
    u32 columns;
    u32 rows;
};

const SheetLayout Categories{UiTexturePaths::Categories, 48, 4, 2};
const SheetLayout ToolBar{UiTexturePaths::ToolBar, 32, 2, 3};
const SheetLayout TimeControls{UiTexturePaths::TimeControls, 24, 4, 2};

struct CellInk {
    f32 covered = 0;      // share of the cell's pixels that are mostly opaque
    bool clearEdge = true; // the outermost ring of pixels is transparent
};

CellInk inkOf(const DdsTexture& sheet, u32 cell, u32 column, u32 row)
{
    const std::vector<u8>& bgra = sheet.levels[0].data;
    CellInk ink;
    u32 opaque = 0;
    for (u32 y = 0; y < cell; y++) {
        for (u32 x = 0; x < cell; x++) {
            u32 px = column * cell + x;
            u32 py = row * cell + y;
            u8 alpha = bgra[(static_cast<size_t>(py) * sheet.width + px) * 4 + 3];
            opaque += alpha > 128 ? 1 : 0;
            bool edge = x == 0 || y == 0 || x == cell - 1 || y == cell - 1;
            if (edge && alpha > 8) {
                ink.clearEdge = false;
            }
        }
    }
    ink.covered = static_cast<f32>(opaque) / static_cast<f32>(cell * cell);
    return ink;
}

DdsTexture readSheet(const SheetLayout& layout)
{
    std::string error;
    DdsTexture sheet = readDds(layout.path, &error);
    EXPECT_TRUE(error.empty()) << error;
    EXPECT_EQ(sheet.format, DdsFormat::B8G8R8A8Unorm) << layout.path;
    EXPECT_EQ(sheet.width, layout.cell * layout.columns) << layout.path;
    EXPECT_EQ(sheet.height, layout.cell * layout.rows) << layout.path;
    EXPECT_EQ(sheet.levels.size(), 1u) << layout.path;
    return sheet;
}

std::vector<u8> cellBytes(const DdsTexture& sheet, u32 cell, u32 column, u32 row)
{
    std::vector<u8> bytes;
    for (u32 y = 0; y < cell; y++) {
        const u8* line = &sheet.levels[0].data[((static_cast<size_t>(row) * cell + y) * sheet.width + column * cell) * 4];
        bytes.insert(bytes.end(), line, line + cell * 4);
    }
    return bytes;
}

} // namespace

TEST_F(UiStartupTest, InitLoadsFontsAndSheetsAndShutdownReleasesEverything)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    const size_t storages = device->resourceCount(ResourceStorage);
    const size_t sets = device->resourceCount(ResourceDescriptorSet);
    const size_t pipelines = device->resourceCount(ResourcePipeline);
    const size_t samplers = device->resourceCount(ResourceSampler);

    Ui::init();
    ASSERT_NE(uiRenderer, nullptr);
    EXPECT_EQ(Ui::currentMenuState(), MenuStateMainMenu);
    EXPECT_EQ(ImGui::GetIO().Fonts->Fonts[0], Ui::fontSmall); // the default font
    EXPECT_EQ(Ui::fontSmall->FontSize, 16.0f);
    EXPECT_EQ(Ui::fontMedium->FontSize, 20.0f);
    EXPECT_EQ(Ui::fontLarge->FontSize, 24.0f);
    ASSERT_NE(Ui::toolBarTextures, nullptr);
    EXPECT_EQ(Ui::toolBarTextures->margin, 16u);
    EXPECT_EQ(Ui::toolBarTextures->categories->extent.width, 192u);
    EXPECT_EQ(Ui::toolBarTextures->tools->extent.height, 96u);
    EXPECT_EQ(Ui::timeControlsTexture->image->extent.width, 96u);
    EXPECT_NE(Ui::toolBarTextures->categoriesTexture, nullptr);
    EXPECT_NE(Ui::toolBarTextures->toolsTexture, nullptr);
    EXPECT_NE(Ui::timeControlsTexture->texture, nullptr);
    EXPECT_FALSE(Ui::debugFlags->debugWindowOpen);
    EXPECT_TRUE(Ui::debugFlags->useOptimizedShaders);

    // Frames on the real platform back-end, ended without drawing.
    for (int i = 0; i < 3; i++) {
        Ui::frame();
        endInterfaceFrame();
    }

    Ui::shutdown();
    EXPECT_EQ(uiRenderer, nullptr);
    EXPECT_EQ(Ui::debugFlags, nullptr);
    EXPECT_EQ(Ui::toolBarTextures, nullptr);
    EXPECT_EQ(Ui::timeControlsTexture, nullptr);
    device->deleteDeferred();
    EXPECT_EQ(device->resourceCount(ResourceStorage), storages);
    EXPECT_EQ(device->resourceCount(ResourceDescriptorSet), sets);
    EXPECT_EQ(device->resourceCount(ResourcePipeline), pipelines);
    EXPECT_EQ(device->resourceCount(ResourceSampler), samplers);
}

TEST(UiSpriteSheets, IconsFillExactlyTheNamedCells)
{
    // Categories: column 0 the two category icons; logos at logoIndex + (1, 0):
    // wall, cannon, mortar in row 0, the two enemy kinds in row 1.
    DdsTexture categories = readSheet(Categories);
    const bool used[2][4] = {{true, true, true, true}, {true, true, true, false}};
    for (u32 row = 0; row < Categories.rows; row++) {
        for (u32 column = 0; column < Categories.columns; column++) {
            CellInk ink = inkOf(categories, Categories.cell, column, row);
            EXPECT_TRUE(ink.clearEdge) << "categories cell " << column << "," << row;
            if (used[row][column]) {
                EXPECT_GT(ink.covered, 0.15f) << "categories cell " << column << "," << row;
            } else {
                EXPECT_EQ(ink.covered, 0.0f) << "categories cell " << column << "," << row;
            }
        }
    }

    // Tools: sell, repair, upgrade; the column of the tool in use looks different.
    DdsTexture tools = readSheet(ToolBar);
    for (u32 row = 0; row < ToolBar.rows; row++) {
        EXPECT_GT(inkOf(tools, ToolBar.cell, 0, row).covered, 0.15f) << "tool row " << row;
        EXPECT_TRUE(inkOf(tools, ToolBar.cell, 0, row).clearEdge) << "tool row " << row;
        EXPECT_TRUE(inkOf(tools, ToolBar.cell, 1, row).clearEdge) << "tool row " << row;
        EXPECT_NE(cellBytes(tools, ToolBar.cell, 0, row), cellBytes(tools, ToolBar.cell, 1, row)) << row;
    }

    // Time controls: pause, x1, x2, x4, each unlike the others; row 1 marks the choice.
    DdsTexture time = readSheet(TimeControls);
    for (u32 column = 0; column < TimeControls.columns; column++) {
        EXPECT_GT(inkOf(time, TimeControls.cell, column, 0).covered, 0.10f) << "speed " << column;
        EXPECT_TRUE(inkOf(time, TimeControls.cell, column, 1).clearEdge) << "speed " << column;
        EXPECT_NE(cellBytes(time, TimeControls.cell, column, 0), cellBytes(time, TimeControls.cell, column, 1));
        for (u32 other = column + 1; other < TimeControls.columns; other++) {
            EXPECT_NE(cellBytes(time, TimeControls.cell, column, 0), cellBytes(time, TimeControls.cell, other, 0));
        }
    }
}
