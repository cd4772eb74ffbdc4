#pragma once

#include "Engine/Types.h"

class Image2D;
class DescriptorSet;

// Sprite sheets of the in-game panels and their interface texture identifiers.
namespace UiTexturePaths {
constexpr const char* Categories = "assets/textures/categories.dds";     // 48-px cells
constexpr const char* ToolBar = "assets/textures/toolBar.dds";           // 32-px cells
constexpr const char* TimeControls = "assets/textures/timeManagment.dds"; // 24-px cells
} // namespace UiTexturePaths

struct ToolBarTextures {
    u32 margin = 16; // pixels between the tool bar and the screen edge
    Image2D* categories = nullptr;
    Image2D* tools = nullptr;
    DescriptorSet* categoriesTexture = nullptr;
    DescriptorSet* toolsTexture = nullptr;
};

struct TimeControlsTexture {
    Image2D* image = nullptr;
    DescriptorSet* texture = nullptr;
};

namespace Ui {

extern ToolBarTextures* toolBarTextures;
extern TimeControlsTexture* timeControlsTexture;

// Loads the sheets (no mip maps) and makes their texture identifiers; needs the
// interface renderer.
void loadTextures();
// Releases the images and their descriptor sets through the graphics device.
void releaseTextures();

} // namespace Ui
