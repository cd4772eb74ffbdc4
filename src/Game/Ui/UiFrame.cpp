#include "Engine/Camera/Camera.h"
#include "Engine/Engine.h"
#include "Engine/Window/Window.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Ui/Ui.h"
#include "World/World.h"

#include <imgui.h>
#include <backends/imgui_impl_glfw.h>

namespace Ui {

void frame()
{
    ImGui_ImplGlfw_NewFrame();
    ImGui::NewFrame();
    drawWindows();
}

void drawWindows()
{
    // With a loaded world: the health bars of every building kind (the enemy kinds'
    // come first, once they exist), then the pending message of the tools (uiMessage)
    // as a tooltip.
    if (World* running = readyWorld()) {
        const glm::ivec2 viewport(Engine::window->width, Engine::window->height);
        for (Building* kind : buildingTypes) {
            kind->drawHealthBars(*running->camera, viewport);
        }
    }

    drawDebugWindow(Engine::frameTimeMs);
    if (currentMenuState() == MenuStateLoading) {
        drawLoadingWindow();
    }
    // The building detail pop-up comes here, before the menus: it takes Escape first.

    drawSettingsWindow();
    drawMainMenu();
    drawPauseMenu();

    // In game, then: the tool bar and the session panels (wallet, time, wave), or
    // while the intro flight plays only its hint.
    drawIntroHint();

    uiOwnsMouse = ImGui::IsAnyItemActive() || ImGui::IsAnyItemHovered() ||
                  ImGui::IsWindowHovered(ImGuiHoveredFlags_AnyWindow | ImGuiHoveredFlags_AllowWhenBlockedByPopup);
}

} // namespace Ui
