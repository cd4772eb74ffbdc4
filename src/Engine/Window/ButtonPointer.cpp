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
    return takeForFrame().value_or(now);
}

std::optional<PointerPosition> ButtonPointer::takeForFrame()
{
    std::optional<PointerPosition> at;
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

void MouseButtonPointers::press(u32 button, PointerPosition at)
{
    if (button < ButtonCount) buttons[button].press(at);
}

void MouseButtonPointers::release(u32 button, PointerPosition at)
{
    if (button < ButtonCount) buttons[button].release(at);
}

PointerPosition MouseButtonPointers::forFrame(PointerPosition now)
{
    // Every button takes its events, so that a release it carries is read in the next
    // frame and no later, whichever button this frame reads.
    std::optional<PointerPosition> chosen;
    for (ButtonPointer& button : buttons) {
        const std::optional<PointerPosition> at = button.takeForFrame();
        if (!chosen) chosen = at;
    }
    return chosen.value_or(now);
}
