#pragma once

class Input;

namespace Ui {

// The Escape press of this frame for the first handler that asks: true once per
// press, after which the press counts as handled by `handler` (Input::handleEscape)
// and every later handler of the frame gets false. Handlers ask in the interface's
// drawing order: building detail, settings window, pause menu.
bool takeEscapePress(Input& input, const char* handler);

} // namespace Ui
