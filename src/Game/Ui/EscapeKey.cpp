#include "Game/Ui/EscapeKey.h"

#include "Engine/Window/Input.h"

namespace Ui {

bool takeEscapePress(Input& input, const char* handler)
{
    if (input.escapeHandled || !input.pressed(Key::Escape)) {
        return false;
    }
    input.handleEscape(handler);
    return true;
}

} // namespace Ui
