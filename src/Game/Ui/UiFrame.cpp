#include "Engine/Camera/Camera.h"
#include "Engine/Engine.h"
#include "Engine/Physics/Simulation.h"
#include "Engine/Window/Input.h"
#include "Engine/Window/Window.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Ui/UiLayoutFile.h"
#include "Game/Enemies/EnemyManager.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Intro/CameraPath.h"
#include "Game/Session/GameSession.h"
#include "Game/Ui/MouseOwner.h"
#include "Game/Ui/Ui.h"
#include "World/World.h"

#include <imgui.h>
#include <backends/imgui_impl_glfw.h>

namespace Ui {

void frame()
{
    ImGui_ImplGlfw_NewFrame();
    // The pointer where the game's input reads it this frame (where a click was made,
    // even if the pointer moved on before the frame began), unless the platform
    // back-end has no pointer for the window.
    ImGuiIO& io = ImGui::GetIO();
    if (Engine::input != nullptr && ImGui::IsMousePosValid(&io.MousePos)) {
        io.MousePos = ImVec2(Engine::input->cursorX, Engine::input->cursorY);
    }
    ImGui::NewFrame();
    UiLayoutFile::saveWhenAsked();
    drawWindows();
}

namespace {

// Set by "Exit" of an end dialog and "Leave to main menu": the game ends once the
// frame that still uses it is built.
bool leaveRequested = false;

// The tool bar is offered in game, between waves (always with cheats), once the intro
// flight is over.
bool toolBarOffered()
{
    if (currentMenuState() != MenuStateInGame || readyWorld() == nullptr || gameSession == nullptr) return false;
    if (gameSession->waveState->active.load(std::memory_order_acquire) && !Settings::cheatsEnabled) return false;
    return Engine::cameraPath == nullptr || !Engine::cameraPath->playing.load();
}

} // namespace

void leaveGameAfterFrame()
{
    leaveRequested = true;
}

void drawWindows()
{
    // With a loaded world: the health bars of both enemy kinds, then of every building
    // kind, then the tools' message of this frame as a tooltip.
    if (World* running = readyWorld()) {
        // The window's size, as the platform back-end gave it to this interface frame.
        const ImVec2 display = ImGui::GetIO().DisplaySize;
        const glm::ivec2 viewport(static_cast<i32>(display.x), static_cast<i32>(display.y));
        if (running->enemyManager != nullptr) {
            running->enemyManager->drawHealthBars(viewport, Simulation::renderState());
        }
        for (Building* kind : buildingTypes) {
            kind->drawHealthBars(*running->camera, viewport);
        }
        // The message was set while the last frame was drawn; a cursor that has since
        // moved onto a window (owned since the frame began) does not take it along.
        if (uiMessage->show) {
            uiMessage->show = false;
            if (uiOwnsMouse == 0) ImGui::SetTooltip("%s", uiMessage->text.c_str());
        }
    }

    drawDebugWindow(Engine::frameTimeMs);
    if (currentMenuState() == MenuStateLoading) {
        drawLoadingWindow();
    }
    // Before the menus: the pop-up takes Escape first.
    drawBuildingDetail();

    drawSettingsWindow();
    drawMainMenu();
    drawPauseMenu();

    if (toolBarOffered()) drawToolBar();
    drawSessionUi();

    // The frame's previews, drawn after this, follow the same owner as the tools: a
    // cursor on a window is the interface's also while a press that started on the
    // world is held (the library then reports no hovered window).
    const ImVec2 pointer = ImGui::GetIO().MousePos;
    uiOwnsMouse = ImGui::IsAnyItemActive() || ImGui::IsAnyItemHovered() ||
                  ImGui::IsWindowHovered(ImGuiHoveredFlags_AnyWindow | ImGuiHoveredFlags_AllowWhenBlockedByPopup) ||
                  pointerOverInterface(pointer.x, pointer.y);

    if (leaveRequested) {
        leaveRequested = false;
        // Tears the game down and sets the main-menu state: the main menu shows again.
        World::shutdown();
    }
}

} // namespace Ui
