#pragma once

// Building blocks shared by the menus and windows of the interface.

#include "Engine/Types.h"

#include <imgui.h>

namespace UiLayout {
// Fixed windows: no title bar, not resizable, not movable.
constexpr ImGuiWindowFlags FixedWindowFlags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize |
                                              ImGuiWindowFlags_NoMove;
constexpr f32 MenuWidth = 300.0f;
constexpr f32 SettingsWidth = 600.0f;
constexpr f32 MenuButtonHeight = 40.0f;
constexpr f32 TabContentHeight = 300.0f;
// One frame at 60 Hz: the budget the step and tick times are shown against.
constexpr f32 FrameBudgetMs = 16.666668f;
} // namespace UiLayout

namespace UiColours {
inline const ImVec4 Warning{1.0f, 1.0f, 0.0f, 1.0f};
inline const ImVec4 WithinBudget{0.2f, 0.7f, 0.2f, 1.0f};
inline const ImVec4 NearBudget{0.9f, 0.65f, 0.0f, 1.0f};
inline const ImVec4 OverBudget{1.0f, 0.0f, 0.0f, 1.0f};
} // namespace UiColours

namespace Ui {

// Begins a fixed window of the given width and automatic height (or the given height
// when it is above 0), centred on the screen this frame. Always pair with ImGui::End.
// A window of automatic height stays hidden in the first frame it ever shows, while it
// measures its contents.
void beginFixedWindow(const char* name, f32 width, f32 height = 0.0f);

// A button as wide as the content region and 40 px high (the caller picks the font).
bool menuButton(const char* label);

// Text centred in the content region.
void textCentred(const char* text);

// Fill colour of a time bar for the share f of the frame budget used.
ImVec4 timeBarColour(f32 fraction);

// "Simulation time:" and a bar of timeMs against the frame budget, with the time as
// text ("3.20 / 16.67ms").
void drawTimeBar(f32 timeMs);

// Frames per second from a smoothed frame time, 0 when the time is not positive.
i32 framerateOf(f32 smoothedFrameTimeMs);

} // namespace Ui
