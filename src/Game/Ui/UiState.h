#pragma once

#include "Engine/Types.h"

#include <cstddef>
#include <string>

struct ImFont;

// Switches of the debug window; the world's passes read the shader and culling ones.
struct DebugFlags {
    bool debugWindowOpen = false;
    bool skyboxWindowOpen = false;
    bool waterWindowOpen = false;
    bool useOptimizedShaders = true;  // the "Opt" variants of terrain, water and sky
    bool showFrustumCulling = false;  // cull from a point ahead of the camera
    f32 smoothedFrameTimeMs = 0.01f;
};

// A message shown for one frame as a tooltip at the cursor.
struct UiMessage {
    std::string text;
    bool show = false;
};

// How far the loader thread is with a new world; shown by the loading window.
struct LoadingProgress {
    u32 stageCount = 0;
    i32 currentStage = 0;
    const char* stageText = "";
    f32 stageProgress = 0; // 0 to 1 within the stage
};

namespace Ui {

// Room for the zero-separated items of the "Resolution" and "Refresh rate" lists.
constexpr size_t VideoModeTextSize = 50000;

extern DebugFlags* debugFlags;
extern UiMessage* uiMessage;
extern LoadingProgress* loadingProgress;
extern char* videoModeText;
// Set every frame when the interface has the mouse (hovered or dragged).
extern u8 uiOwnsMouse;

// "assets/Roboto-Medium.ttf" at 16, 20 and 24 pixels; the small one is the default.
extern ImFont* fontSmall;
extern ImFont* fontMedium;
extern ImFont* fontLarge;

// The interface records that live from start-up to shutdown (no GPU objects).
void createState();
void destroyState();

// Shows `text` as a tooltip at the cursor in the next interface frame only.
void showMessage(const std::string& text);

} // namespace Ui
