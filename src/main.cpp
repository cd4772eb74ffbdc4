#include "Engine/Engine.h"

int main(int, char**)
{
    Engine::init();
    Engine::run();
    return 0;
}
