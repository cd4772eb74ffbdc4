#pragma once

#include <mutex>
#include <vector>

// The screens of the interface; the last entry of the menu-state stack is the one shown.
enum MenuState : int {
    MenuStateMainMenu = 1,
    MenuStateSettings = 2,
    MenuStateLoading = 3,
    MenuStatePause = 4,
    MenuStateInGame = 5,
};

namespace Ui {

// An empty stack shows no menu. The loader thread of a new game pushes and pops the
// loading screen while the main thread draws, so every access goes through the
// functions below, which hold menuStateMutex.
extern std::vector<int> menuStateStack;
extern std::mutex menuStateMutex;

// The current screen, or 0 when the stack is empty.
int currentMenuState();
void pushMenuState(int state);
// Removes the current screen; nothing happens on an empty stack.
void popMenuState();
void clearMenuStates();

} // namespace Ui
