#include "Game/Ui/EscapeKey.h"

#include "Engine/Window/Input.h"

namespace Ui {

bool takeEscapePress(Input& input)
{
    if (input.escapeHandled || !input.pressed(Key::Escape)) {
        return false;
    }
    input.escapeHandled = 1;
    return true;
}

} // namespace Ui
