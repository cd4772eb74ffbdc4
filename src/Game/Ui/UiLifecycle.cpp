#include "Engine/Descriptor/DescriptorSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"
#include "Engine/Pipeline/Pipeline.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/Ui/UiRenderer.h"
#include "Game/Tools/ToolState.h"
#include "Game/Ui/Ui.h"
#include "Game/Ui/UiTextures.h"

namespace Ui {

void init()
{
    uiRenderer = new UiRenderer();
    uiOwnsMouse = 0;
    addFonts(FontPath);
    UiRenderer::uploadFonts();
    pushMenuState(MenuStateMainMenu);
    createState();
    loadTextures();
    // The tools start with no tool and no building selected.
    PlayerTools::resetForNewGame();
}

void shutdown()
{
    GraphicsDevice* device = Engine::graphicsDevice;
    if (uiRenderer != nullptr) {
        device->releaseResource(uiRenderer->pipeline);
        device->releaseResource(uiRenderer->storage);
        device->releaseResource(uiRenderer->sampler);
        device->releaseResource(uiRenderer->fontDescriptor);
        device->releaseResource(uiRenderer->fontImage);
        delete uiRenderer;
        uiRenderer = nullptr;
    }
    destroyState();
    releaseTextures();
    // The detail pop-up's building, if one is still held.
    buildingSelection.instance.reset();
}

} // namespace Ui
