#include "Engine/Window/ButtonPointer.h"

void ButtonPointer::press(PointerPosition at)
{
    // The first press counts; a release before it ended an earlier hold, which the
    // frame sees as one hold with this press.
    if (!pressed) {
        pressed = true;
        pressAt = at;
    }
    released = false;
}

void ButtonPointer::release(PointerPosition at)
{
    released = true;
    releaseAt = at;
}

PointerPosition ButtonPointer::forFrame(PointerPosition now)
{
    PointerPosition at = now;
    if (pressed) {
        at = pressAt;
        carried = released;
        carriedAt = releaseAt;
    } else if (released) {
        at = releaseAt;
        carried = false;
    } else if (carried) {
        at = carriedAt;
        carried = false;
    }
    pressed = false;
    released = false;
    return at;
}
