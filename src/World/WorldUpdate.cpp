#include "World/World.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Engine.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/Window/Window.h"
#include "Game/Intro/CameraPath.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameLogic.h"
#include "Game/Tools/EdgeEffect.h"
#include "Game/Tools/PlayerTools.h"
#include "Game/Ui/Ui.h"
#include "World/Shadow/ShadowRenderer.h"
#include "World/Sky/Skybox.h"
#include "World/Terrain/Terrain.h"
#include "World/Water/Water.h"
#include "World/WorldMath.h"
#include "World/WorldRules.h"
#include "World/WorldTargets.h"

namespace {

void upload(StorageSlot* slot, const void* data, u32 size)
{
    slot->offset = slot->storage->write(slot->offset, data, size, false);
}

// The water shaders unproject the screen grid with the camera's rotation only, and
// sample the prepass (twice the window size) at this share of it.
void updateWaterBlocks(Water& water, const Camera& camera, f32 seconds)
{
    const glm::mat4 inverseViewProjection = glm::inverse(camera.projection * camera.rotationView);
    const glm::vec2 prepassScale(0.5f, 0.5f);
    water.params.inverseViewProjection = inverseViewProjection;
    water.params.prepassScale = prepassScale;
    water.params.time += seconds;
    upload(water.paramSlot, &water.params, sizeof(WaterParams));

    water.optParams.inverseViewProjection = inverseViewProjection;
    water.optParams.prepassScale = prepassScale;
    water.optParams.time = water.params.time;
    upload(water.optParamSlot, &water.optParams, sizeof(WaterOptParams));
}

} // namespace

void World::update(f32 frameMs)
{
    if (!ready.load(std::memory_order_acquire)) return;
    // A resize during loading reached a world that was not built yet.
    if (resizePending) {
        resizePending = false;
        onResize();
    }

    // 1: the fixed ticks of the game-logic thread.
    gameLogic->feed(frameMs);

    // 2: free flight, unless the intro flight has the camera.
    if (Engine::cameraPath == nullptr || !Engine::cameraPath->playing.load()) {
        camera->update(frameMs, Settings::mouseSpeed, Ui::uiOwnsMouse != 0);
    }

    // 3: near and far follow the distance from the planet; the cascades are refitted
    // when the near plane moves.
    const f32 nearBefore = camera->near;
    const CameraPlanes planes = cameraPlanes(camera->position, sky->params.planetRadius);
    camera->setPerspective(camera->fovDegrees, camera->aspect, planes.nearPlane, planes.farPlane);
    if (camera->near != nearBefore) shadows->dirty = 1;

    // 4 to 6: this frame's camera, sky and water blocks.
    camera->uploadUniforms();
    sky->update(frameMs, camera);
    updateWaterBlocks(*water, *camera, frameMs * 0.001f);

    // 7: the player's tools, when the interface does not own the mouse.
    if (Ui::uiOwnsMouse == 0) PlayerTools::update();
}

void World::onResize()
{
    if (!ready.load(std::memory_order_acquire)) {
        resizePending = true;
        return;
    }
    targetWidth = Engine::window->width > 0 ? static_cast<u32>(Engine::window->width) : 1u;
    targetHeight = Engine::window->height > 0 ? static_cast<u32>(Engine::window->height) : 1u;
    camera->setPerspective(WorldCameraRules::FieldOfView,
                           static_cast<f32>(targetWidth) / static_cast<f32>(targetHeight),
                           WorldCameraRules::StartNear, WorldCameraRules::StartFar);
    releaseRenderTargets(*this);
    createRenderTargets(*this, targetWidth, targetHeight);
    if (buildingManager != nullptr && buildingManager->edgeEffect != nullptr) {
        buildingManager->edgeEffect->resize({targetWidth, targetHeight});
    }
    shadows->dirty = 1;
    terrain->updateWaterViewParams(camera);
    terrain->recreateResources();
}
