#pragma once

// The immediate-mode interface: rebuilt every frame on the main thread and drawn
// afterwards by the engine's interface renderer.

#include "Engine/Types.h"
#include "Game/Ui/MenuState.h"
#include "Game/Ui/UiState.h"

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

// Adds the three sizes of the font at `path` to the font atlas; a missing file ends
// the start with an error naming it.
void addFonts(const char* path);

void drawMainMenu();
void drawPauseMenu();
void drawLoadingWindow();
void drawSettingsWindow();
void drawGeneralTab();
void drawDebugWindow(f32 frameMs);
// In game while the intro flight plays: the hint that Enter skips it. True when drawn
// (the session panels then stay hidden).
bool drawIntroHint();

} // namespace Ui
