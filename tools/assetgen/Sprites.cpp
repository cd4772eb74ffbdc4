#include "Generators.h"
#include "SpriteIcons.h"

#include <cstdio>

// The three interface sprite sheets. Cells are addressed by column and row:
// - categories.dds, 48-px cells: column 0 the category icons (row 0 buildings, row 1
//   enemies); a kind's logo at column logoIndex.x + 1, row logoIndex.y. Buildings use
//   logoIndex (0, 0) wall, (1, 0) cannon, (2, 0) mortar; enemies (0, 1) normal and
//   (1, 1) heavy.
// - toolBar.dds, 32-px cells: rows sell, repair, upgrade; column 0 idle, 1 in use.
// - timeManagment.dds, 24-px cells: columns pause, x1, x2, x4; row 0 idle, 1 chosen.
namespace SpriteSheets {
constexpr u32 CategoryCell = 48;
constexpr u32 CategoryColumns = 4;
constexpr u32 CategoryRows = 2;
constexpr u32 ToolCell = 32;
constexpr u32 ToolColumns = 2;
constexpr u32 ToolRows = 3;
constexpr u32 TimeCell = 24;
constexpr u32 TimeColumns = 4;
constexpr u32 TimeRows = 2;
} // namespace SpriteSheets

namespace {

using namespace SpriteSheets;

SpriteCanvas categoriesSheet()
{
    SpriteCanvas canvas = makeCanvas(CategoryColumns * CategoryCell, CategoryRows * CategoryCell);
    paintBuildingsIcon(canvas, cellAt(0, 0, CategoryCell));
    paintEnemiesIcon(canvas, cellAt(0, 1, CategoryCell));
    paintWallLogo(canvas, cellAt(1, 0, CategoryCell));
    paintCannonLogo(canvas, cellAt(2, 0, CategoryCell));
    paintMortarLogo(canvas, cellAt(3, 0, CategoryCell));
    paintEnemyLogo(canvas, cellAt(1, 1, CategoryCell));
    paintHeavyEnemyLogo(canvas, cellAt(2, 1, CategoryCell));
    return canvas;
}

SpriteCanvas toolBarSheet()
{
    SpriteCanvas canvas = makeCanvas(ToolColumns * ToolCell, ToolRows * ToolCell);
    for (u32 column = 0; column < ToolColumns; column++) {
        bool active = column == 1;
        paintSellIcon(canvas, cellAt(column, 0, ToolCell), active);
        paintRepairIcon(canvas, cellAt(column, 1, ToolCell), active);
        paintUpgradeIcon(canvas, cellAt(column, 2, ToolCell), active);
    }
    return canvas;
}

SpriteCanvas timeControlsSheet()
{
    SpriteCanvas canvas = makeCanvas(TimeColumns * TimeCell, TimeRows * TimeCell);
    for (u32 row = 0; row < TimeRows; row++) {
        bool active = row == 1;
        paintPauseIcon(canvas, cellAt(0, row, TimeCell), active);
        paintSpeedIcon(canvas, cellAt(1, row, TimeCell), 1, active);
        paintSpeedIcon(canvas, cellAt(2, row, TimeCell), 2, active);
        paintSpeedIcon(canvas, cellAt(3, row, TimeCell), 4, active);
    }
    return canvas;
}

bool write(const SpriteCanvas& canvas, const std::filesystem::path& path)
{
    std::string error;
    if (!writeCanvasDds(canvas, path.string(), &error)) {
        std::fprintf(stderr, "assetgen: %s\n", error.c_str());
        return false;
    }
    return true;
}

} // namespace

bool generateSprites(const std::filesystem::path& assets)
{
    const std::filesystem::path textures = assets / "textures";
    std::filesystem::create_directories(textures);
    bool ok = write(categoriesSheet(), textures / "categories.dds");
    ok = write(toolBarSheet(), textures / "toolBar.dds") && ok;
    ok = write(timeControlsSheet(), textures / "timeManagment.dds") && ok;
    return ok;
}
