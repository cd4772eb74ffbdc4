#pragma once

#include "Engine/Types.h"
#include "Engine/Ui/UiDrawPlan.h"

#include <vector>

class DsMeshSingle;
class Image2D;
class Pipeline;
class DescriptorSet;
class Sampler;
class ImageView;
class CommandBuffer;

// Draws the interface library's frame with our own Vulkan objects (global uiRenderer).
// An interface texture identifier is a DescriptorSet*; null means the font atlas.
class UiRenderer {
public:
    DsMeshSingle* storage = nullptr;
    Image2D* fontImage = nullptr;
    Pipeline* pipeline = nullptr;
    DescriptorSet* fontDescriptor = nullptr;
    Sampler* sampler = nullptr;
    std::vector<UiDraw> draws; // the last frame's draw calls (kept to reuse the memory)

    // Creates the interface context with the game's style, the platform back-end on the
    // window, the pipeline, the storage and the sampler.
    UiRenderer();

    // Uploads the font atlas (once, after the fonts are added).
    static void uploadFonts();
    // A texture identifier for an image view.
    static DescriptorSet* createTextureDescriptor(ImageView* view);
    // Draws the current interface frame.
    void render(CommandBuffer* commandBuffer);
};

extern UiRenderer* uiRenderer;

// Ends the interface frame in progress without drawing it, for frames that are not
// recorded (minimised window, swap-chain rebuild): the next frame can then begin.
void endInterfaceFrame();
