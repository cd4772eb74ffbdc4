#pragma once

#include "Engine/Types.h"

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
