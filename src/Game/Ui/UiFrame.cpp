#include "Engine/Engine.h"
#include "Game/Ui/Ui.h"

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
    // With a loaded world: the health bars of every enemy and building kind, then the
    // pending message of the tools (uiMessage) as a tooltip.

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
