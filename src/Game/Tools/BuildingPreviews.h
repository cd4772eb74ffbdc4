#pragma once

class BuildingManager;
class CommandBuffer;

// The previews of the tools that act on a standing building (modes 2 to 4), inside the
// main pass: the building under the cursor drawn as a ghost in the colour of what a
// click would do, and the reason or the price next to the cursor.
namespace SellTool {
void preview(BuildingManager& manager, CommandBuffer& cmd);
}
namespace RepairTool {
void preview(BuildingManager& manager, CommandBuffer& cmd);
}
namespace UpgradeTool {
void preview(BuildingManager& manager, CommandBuffer& cmd);
}
