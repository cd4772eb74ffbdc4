#pragma once

// Where the in-game panels stand and how big they are, in pixels (W, H: the window).

#include "Engine/Types.h"

namespace PanelLayout {

// The tool bar: a row of windows along the bottom edge, m from the edges and m apart.
constexpr f32 CategoryWindow = 56.0f; // "TBC0", "TBC1": a 48-px button in a 4-px frame
constexpr f32 CategoryButton = 48.0f;
constexpr f32 ToolWindow = 40.0f;     // "DTool", "RTool", "UTool": 32 px in a 4-px frame
constexpr f32 ToolButton = 32.0f;
constexpr int ButtonFrame = 4;
// A category's pop-up: three items a row above the tool bar, each under its own id.
constexpr f32 PopupWidth = 148.0f;
constexpr f32 PopupHeight = 244.0f;
constexpr f32 PopupAbove = 300.0f; // its top: H - 2m - 300
constexpr f32 PopupItem = 48.0f;
constexpr int PopupColumns = 3;
constexpr int PopupItemIdBase = 1000;
// The session panels along the top edge.
constexpr f32 TimeWindowWidth = 100.0f;
constexpr f32 TimeWindowHeight = 28.0f;
constexpr f32 TimeIcon = 24.0f;
constexpr f32 TimeIconInset = 2.0f; // the first icon's left and top in its window
constexpr f32 WalletWidth = 200.0f; // centred: (W/2 - 100, 0)
constexpr f32 WaveWidth = 200.0f;   // at the right edge: (W - 200, 0)
constexpr f32 DetailWidth = 300.0f; // the building detail pop-up, centred
// Tooltips of the tool bar, after the pointer has rested this long on a button.
constexpr f32 HoverDelaySeconds = 0.40f;
constexpr f32 TooltipPadding = 4.0f;

// Cells of the sprite sheets, in pixels.
constexpr f32 CategoryCell = 48.0f;
constexpr f32 ToolCell = 32.0f;
constexpr f32 TimeCell = 24.0f;

} // namespace PanelLayout
