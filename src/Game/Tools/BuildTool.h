#pragma once

#include "Engine/Types.h"
#include "Game/Buildings/Building.h"

#include <glm/vec4.hpp>

#include <vector>

class BuildingManager;
class CommandBuffer;
struct ToolSelection;

// Tool mode 1's preview and the drawing that every tool preview and the hover outline
// share. Main thread, while the frame is recorded.
namespace BuildTool {

// Tool mode 1 with a building kind selected, inside the main pass: the ghost of the
// kind on the footprint under the cursor, green where it can be placed, red with the
// reason as the message where it cannot.
void previewPlacement(BuildingManager& manager, CommandBuffer& cmd, const ToolSelection& selection);

// Inside the main pass: each part translucent in `colour`, over the pass's render area.
void drawGhost(BuildingManager& manager, CommandBuffer& cmd, const std::vector<RenderObject>& parts,
               const glm::vec4& colour);

// Outside any rendering: the parts into the edge effect's depth image, then the edge
// effect's outline pass, which leaves the outline readable for the post-process pass.
void renderPreviewPass(BuildingManager& manager, CommandBuffer& cmd, const std::vector<RenderObject>& parts,
                       const glm::vec4& colour);

} // namespace BuildTool
