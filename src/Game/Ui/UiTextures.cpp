#include "Game/Ui/UiTextures.h"

#include "Engine/Descriptor/DescriptorSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Image/Image.h"
#include "Engine/Ui/UiRenderer.h"

namespace Ui {

ToolBarTextures* toolBarTextures = nullptr;
TimeControlsTexture* timeControlsTexture = nullptr;

namespace {

Image2D* loadSheet(const char* path, DescriptorSet** texture)
{
    Image2D* image = Image2D::fromTexture(path, false);
    *texture = UiRenderer::createTextureDescriptor(image->view);
    return image;
}

} // namespace

void loadTextures()
{
    toolBarTextures = new ToolBarTextures();
    toolBarTextures->categories = loadSheet(UiTexturePaths::Categories, &toolBarTextures->categoriesTexture);
    toolBarTextures->tools = loadSheet(UiTexturePaths::ToolBar, &toolBarTextures->toolsTexture);
    timeControlsTexture = new TimeControlsTexture();
    timeControlsTexture->image = loadSheet(UiTexturePaths::TimeControls, &timeControlsTexture->texture);
}

void releaseTextures()
{
    GraphicsDevice* device = Engine::graphicsDevice;
    if (toolBarTextures != nullptr) {
        device->releaseResource(toolBarTextures->categoriesTexture);
        device->releaseResource(toolBarTextures->toolsTexture);
        device->releaseResource(toolBarTextures->categories);
        device->releaseResource(toolBarTextures->tools);
        delete toolBarTextures;
        toolBarTextures = nullptr;
    }
    if (timeControlsTexture != nullptr) {
        device->releaseResource(timeControlsTexture->texture);
        device->releaseResource(timeControlsTexture->image);
        delete timeControlsTexture;
        timeControlsTexture = nullptr;
    }
}

} // namespace Ui
