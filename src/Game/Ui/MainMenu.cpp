#include "Engine/Engine.h"
#include "Game/Ui/Ui.h"
#include "Game/Ui/UiWidgets.h"
#include "World/World.h"

#include <imgui.h>

namespace Ui {

void drawMainMenu()
{
    // Back from a game ("Leave to main menu" empties the stack): the main menu again.
    if (Engine::gameState == GameStateMainMenu && currentMenuState() == 0) {
        pushMenuState(MenuStateMainMenu);
    }
    if (currentMenuState() != MenuStateMainMenu) {
        return;
    }
    beginFixedWindow("Main Menu", UiLayout::MenuWidth);
    ImGui::PushFont(fontLarge);
    if (menuButton("New Game")) {
        // Empties the menu stack, sets the loading state and starts the loader thread.
        World::startNew();
    }
    if (menuButton("Settings")) {
        pushMenuState(MenuStateSettings);
    }
    if (menuButton("Exit")) {
        Engine::quitRequested = 1;
    }
    ImGui::PopFont();
    ImGui::End();
}

} // namespace Ui
