#pragma once

#include "Engine/Types.h"

#include <atomic>
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

// How far the loader thread is with a new world; shown by the loading window. The
// loader writes while the main thread draws, hence the atomics.
struct LoadingProgress {
    std::atomic<u32> stageCount{0};
    std::atomic<i32> currentStage{0};
    std::atomic<const char*> stageText{""};
    std::atomic<f32> stageProgress{0.0f}; // 0 to 1 within the stage
    // While set, the share of the current stage done as the generating threads write
    // it, shown instead of stageProgress. Its owner clears it before it goes.
    std::atomic<const std::atomic<f32>*> liveStageProgress{nullptr};
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
