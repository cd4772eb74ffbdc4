#include "Engine/Engine.h"

#include "Engine/Helper/Trace.h"
#include "Engine/Window/Input.h"
#include "Engine/Window/Window.h"
#include "Game/Session/GameSession.h"
#include "Game/Tools/ToolState.h"
#include "Game/Ui/MenuState.h"

#include <string>

namespace Engine {

namespace {

const char* gameStateName(u32 state)
{
    switch (state) {
    case GameStateMainMenu: return "main-menu";
    case GameStatePlaying: return "playing";
    case GameStateLoading: return "loading";
    default: return "?";
    }
}

const char* screenName(int screen)
{
    switch (screen) {
    case 0: return "none";
    case MenuStateMainMenu: return "main-menu";
    case MenuStateSettings: return "settings";
    case MenuStateLoading: return "loading";
    case MenuStatePause: return "pause";
    case MenuStateInGame: return "in-game";
    default: return "?";
    }
}

const char* toolName(u32 mode)
{
    switch (mode) {
    case ToolModeNone: return "none";
    case ToolModePlace: return "place";
    case ToolModeSell: return "sell";
    case ToolModeRepair: return "repair";
    case ToolModeUpgrade: return "upgrade";
    default: return "?";
    }
}

const char* sessionName()
{
    if (gameSession == nullptr) return "none";
    switch (gameSession->state.load()) {
    case SessionPlaying: return "playing";
    case SessionPlayingOn: return "playing-on";
    case SessionLost: return "lost";
    case SessionWon: return "won";
    default: return "?";
    }
}

} // namespace

void traceFrame()
{
    if (!Trace::on()) return;
    std::string state = std::string("game ") + gameStateName(gameState) + ", screen " +
                        screenName(Ui::currentMenuState()) + ", tool " + toolName(toolMode) + ", session " +
                        sessionName();
    if (window != nullptr && !window->renderable) state += ", window not drawable";
    Trace::state(state);
    if (input != nullptr && input->pressed(Key::Escape)) {
        const char* handler = input->escapeHandler != nullptr ? input->escapeHandler : "nobody";
        Trace::line(std::string("Escape pressed, handled by ") + handler);
    }
}

} // namespace Engine
