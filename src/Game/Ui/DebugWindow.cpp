#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Physics/BulletHandler.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Simulation.h"
#include "Game/Session/GameLogic.h"
#include "Game/Ui/Ui.h"
#include "Game/Ui/UiWidgets.h"
#include "World/Culling/CullingGrid.h"
#include "World/Sky/Skybox.h"
#include "World/Water/Water.h"
#include "World/World.h"

#include <btBulletDynamicsCommon.h>
#include <imgui.h>

#include <mutex>

namespace Ui {

namespace {

// Where the sky and water settings windows first open: shares of the display width,
// and pixels from the top.
constexpr f32 SkyboxWindowLeft = 0.3f;
constexpr f32 WaterWindowLeft = 0.6f;
constexpr f32 SettingsWindowTop = 20.0f;

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

// The optimised shaders have the sky and water parameters built in.
void optimizedShadersNote()
{
    if (debugFlags->useOptimizedShaders) {
        ImGui::TextColored(ImVec4(1.0f, 1.0f, 0.0f, 1.0f),
                           "Changes only take effect when disabling optimized shaders!");
    }
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
        // The game-logic thread's work per tick, with a loaded world.
        World* loaded = readyWorld();
        if (loaded != nullptr && loaded->gameLogic != nullptr &&
            ImGui::CollapsingHeader("Simulation", ImGuiTreeNodeFlags_DefaultOpen)) {
            drawTimeBar(loaded->gameLogic->averageTickMs);
        }
    }
    ImGui::End();

    // The sky's and the water's settings, only for a loaded world.
    World* running = readyWorld();
    if (running == nullptr) {
        return;
    }
    // Both open beside the debug window rather than on top of it.
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    if (debugFlags->skyboxWindowOpen) {
        ImGui::SetNextWindowPos(ImVec2(display.x * SkyboxWindowLeft, SettingsWindowTop), ImGuiCond_FirstUseEver);
        if (ImGui::Begin("Skybox settings", &debugFlags->skyboxWindowOpen)) {
            optimizedShadersNote();
            running->sky->drawSettings();
        }
        ImGui::End();
    }
    if (debugFlags->waterWindowOpen) {
        ImGui::SetNextWindowPos(ImVec2(display.x * WaterWindowLeft, SettingsWindowTop), ImGuiCond_FirstUseEver);
        if (ImGui::Begin("Water settings", &debugFlags->waterWindowOpen)) {
            optimizedShadersNote();
            running->water->drawSettings();
        }
        ImGui::End();
    }
}

} // namespace Ui
