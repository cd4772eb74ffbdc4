#pragma once

#include "Engine/Types.h"

class BuildingManager;
class CommandBuffer;

// The player's mouse in the world, once per frame on the main thread: placing,
// selling, repairing, upgrading and selecting buildings by the current tool mode, and
// the frame's previews of what a click would do.
namespace PlayerTools {

// The tools act only while the game is in play: in game with no menu or end dialog
// over it and the intro flight over.
bool inPlay();

// From World::update while the interface does not own the mouse. Escape or a running
// wave (without cheats) ends the tool; tool mode 1 places while the left button is
// held, modes 2 to 4 act on a click, and with no tool a click selects the building
// under the cursor for the detail pop-up, or lets the selection go.
void update();

// Inside the main pass: the preview of the current tool (modes 1 to 4).
void drawPreview(BuildingManager& manager, CommandBuffer& cmd);

// With no tool, after the main pass: the outline of the building under the cursor.
// True when one was drawn this frame.
bool highlightHovered(BuildingManager& manager, CommandBuffer& cmd);

} // namespace PlayerTools
