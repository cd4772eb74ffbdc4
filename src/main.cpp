#include "Engine/Engine.h"

#include <exception>

int main(int, char**)
{
    // A failure ends the game with its line and status 1, never with an abort; the game
    // ends on its first fatal error, with that error's line alone.
    Engine::setUpProcessEnds();
    try {
        Engine::init();
        Engine::run();
    } catch (...) {
        Engine::endOnError(std::current_exception());
    }
    return 0;
}
