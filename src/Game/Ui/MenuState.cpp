#include "Game/Ui/MenuState.h"

namespace Ui {

std::vector<int> menuStateStack;
std::mutex menuStateMutex;

int currentMenuState()
{
    std::lock_guard lock(menuStateMutex);
    return menuStateStack.empty() ? 0 : menuStateStack.back();
}

void pushMenuState(int state)
{
    std::lock_guard lock(menuStateMutex);
    menuStateStack.push_back(state);
}

void popMenuState()
{
    std::lock_guard lock(menuStateMutex);
    if (!menuStateStack.empty()) {
        menuStateStack.pop_back();
    }
}

void clearMenuStates()
{
    std::lock_guard lock(menuStateMutex);
    menuStateStack.clear();
}

} // namespace Ui
