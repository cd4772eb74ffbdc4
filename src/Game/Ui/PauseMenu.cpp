#include "Engine/Engine.h"
#include "Game/Ui/EscapeKey.h"
#include "Game/Ui/Ui.h"
#include "Game/Ui/UiWidgets.h"
#include "World/World.h"

#include <imgui.h>

namespace Ui {

void drawPauseMenu()
{
    // One Escape press either opens or closes the menu, never both in one frame.
    if (Engine::gameState == GameStatePlaying && currentMenuState() != MenuStatePause &&
        takeEscapePress(*Engine::input, "pause menu, opening it")) {
        pushMenuState(MenuStatePause);
    }
    if (currentMenuState() != MenuStatePause) {
        return;
    }
    if (takeEscapePress(*Engine::input, "pause menu, closing it")) {
        popMenuState();
        return;
    }
    beginFixedWindow("Menu", UiLayout::MenuWidth);
    ImGui::PushFont(fontLarge);
    if (menuButton("Continue")) {
        popMenuState();
    }
    if (menuButton("Settings")) {
        pushMenuState(MenuStateSettings);
    }
    if (menuButton("Leave to main menu")) {
        clearMenuStates();
        leaveGameAfterFrame();
    }
    ImGui::PopFont();
    ImGui::End();
}

} // namespace Ui
