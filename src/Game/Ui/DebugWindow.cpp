#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Physics/BulletHandler.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Simulation.h"
#include "Game/Ui/Ui.h"
#include "Game/Ui/UiWidgets.h"
#include "World/Culling/CullingGrid.h"

#include <btBulletDynamicsCommon.h>
#include <imgui.h>

#include <mutex>

namespace Ui {

namespace {

// Weight of the newest frame in the smoothed frame time: 1/31.
constexpr f32 FrameTimeShare = 1.0f / 30.0f;
constexpr f32 FrameTimeDecay = 0.9677419f;

void drawRenderingSection(f32 frameMs)
{
    DebugFlags& flags = *debugFlags;
    flags.smoothedFrameTimeMs = (frameMs * FrameTimeShare + flags.smoothedFrameTimeMs) * FrameTimeDecay;
    ImGui::Text("Framerate: %d", framerateOf(flags.smoothedFrameTimeMs));
    u32 drawn = Engine::graphicsDevice != nullptr ? Engine::graphicsDevice->drawnInstancesLastFrame : 0;
    ImGui::Text("Rendered Objects: %d", static_cast<int>(drawn));
    ImGui::Checkbox("Use optimized shaders", &flags.useOptimizedShaders);
    if (frustumCullingEnabled == 0) {
        ImGui::TextColored(ImVec4(1.0f, 1.0f, 0.0f, 1.0f), "Frustum culling is disabled!");
    }
    ImGui::Checkbox("Show Frustum Culling", &flags.showFrustumCulling);
    if (ImGui::Button("Open skybox settings")) {
        flags.skyboxWindowOpen = true;
    }
    if (ImGui::Button("Open water settings")) {
        flags.waterWindowOpen = true;
    }
}

void drawPhysicsSection()
{
    bool renderDebugMesh = Engine::renderPhysicsDebug != 0;
    if (ImGui::Checkbox("Render debug mesh", &renderDebugMesh)) {
        Engine::renderPhysicsDebug = renderDebugMesh ? 1 : 0;
    }
    drawTimeBar(Simulation::state.smoothedStepTimeMs);

    // The simulation thread adds and removes bodies while it holds stepMutex; the
    // count is read only between its passes, else last frame's count stays shown.
    static int objectCount = 0;
    if (Engine::physicsWorld != nullptr && Engine::physicsWorld->world != nullptr) {
        std::unique_lock lock(Simulation::state.stepMutex, std::try_to_lock);
        if (lock.owns_lock()) {
            objectCount = Engine::physicsWorld->world->getNumCollisionObjects();
        }
    }
    ImGui::Text("Number of objects: %d", objectCount);
}

} // namespace

void drawDebugWindow(f32 frameMs)
{
    if (!debugFlags->debugWindowOpen) {
        return;
    }
    if (ImGui::Begin("Debug", &debugFlags->debugWindowOpen)) {
        if (ImGui::CollapsingHeader("Rendering", ImGuiTreeNodeFlags_DefaultOpen)) {
            drawRenderingSection(frameMs);
        }
        if (ImGui::CollapsingHeader("Physics", ImGuiTreeNodeFlags_DefaultOpen)) {
            drawPhysicsSection();
        }
        // With a loaded world, the "Simulation" section (the game-logic thread's
        // time per tick, through drawTimeBar) follows here.
    }
    ImGui::End();
    // With a loaded world, the "Skybox settings" and "Water settings" windows follow.
}

} // namespace Ui
