#pragma once

// The immediate-mode interface: rebuilt every frame on the main thread and drawn
// afterwards by the engine's interface renderer.

#include "Engine/Types.h"
#include "Game/Ui/MenuState.h"
#include "Game/Ui/UiState.h"
#include "Game/Ui/UiTextures.h"

struct ImVec2;

namespace Ui {

constexpr const char* FontPath = "assets/Roboto-Medium.ttf";

// Start-up, after the physics thread: renderer, fonts, state, sprite sheets; shows
// the main menu.
void init();
// Once per frame from the main loop: starts the interface frame and builds every
// window in the interface's fixed order.
void frame();
// Builds this frame's windows; the interface frame must have begun.
void drawWindows();
// Releases the interface's GPU objects and records. The interface library's context
// and fonts stay until the process ends.
void shutdown();

// Adds the three sizes of the font at `path` to the font atlas and builds it; a file
// that cannot be read or is refused (UiFonts.h) ends the start with an error naming it.
void addFonts(const char* path);

void drawMainMenu();
void drawPauseMenu();
void drawLoadingWindow();
void drawSettingsWindow();
// Why the last "Apply and save" did not save the settings; empty after a save that
// worked and whenever the settings window is left.
const std::string& settingsSaveFailure();
void drawGeneralTab();
void drawDebugWindow(f32 frameMs);
// In game while the intro flight plays: the hint that Enter skips it. True when drawn
// (the session panels then stay hidden).
bool drawIntroHint();
// In game, once the intro flight is over: the wave panel in the top right corner,
// "Start wave {}" while no wave runs, else the wave's number and the enemies alive.
void drawWavePanel();

// The in-game panels.
// The tool bar in its order: buildings, (with cheats) enemies, sell, repair, upgrade.
void drawToolBar();
// One category's window with its button at `left` pixels along the row; returns the
// next window's `left`.
u32 drawToolBarCategory(ToolBarTextures& textures, u32 category, const char* windowId, u32 left);
// The category's pop-up of kinds to place; `uvCell`: a sheet cell in texture coordinates.
void drawToolBarPopup(ToolBarTextures& textures, u32 category, ImVec2 uvCell);
// Kinds a category may offer: 5 buildings, 2 enemies, none for any other category.
u32 toolBarItemCount(u32 category);
u32 drawSellTool(ToolBarTextures& textures, u32 left);
u32 drawRepairTool(ToolBarTextures& textures, u32 left);
u32 drawUpgradeTool(ToolBarTextures& textures, u32 left);
// The detail pop-up of the building the tools selected (buildingSelection).
void drawBuildingDetail();
// In game: the intro hint alone, or the wallet, the time controls, the wave panel and
// the end dialog of a lost or won game.
void drawSessionUi();
// Pause, x1, x2, x4: the one game speed.
void drawTimeControls(TimeControlsTexture& texture);
// Ends the running game once this interface frame is built (the frame still uses the
// world and the session); the main menu shows next.
void leaveGameAfterFrame();

} // namespace Ui
