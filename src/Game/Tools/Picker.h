#pragma once

#include "Engine/Physics/RayHit.h"
#include "Engine/Types.h"

#include <glm/glm.hpp>

class BuildingManager;
class Camera;
class TerrainGrid;
struct WorldPhysics;

// What a pick looks through: the camera, the cursor pixel (whole pixels from the top
// left) and the window size.
struct CursorView {
    const Camera* camera = nullptr;
    glm::ivec2 cursor{0};
    glm::ivec2 viewport{0};
};

// Picking: a ray from the camera through the cursor, 10,000 units long, cast into a
// world's query physics world for the closest body of the given collision types.
namespace Picker {

// The game camera `camera` with the input record's free cursor (the last position
// while the cursor was not captured, truncated to whole pixels) and the window size.
CursorView currentView(const Camera* camera);
// 0 <= x < width and 0 <= y < height.
bool cursorInside(const CursorView& view);

// The closest body of a type in `mask` under the cursor. With `lock` the query world's
// mutex is taken here; without it the caller holds it.
RayHit pick(const CursorView& view, WorldPhysics& physics, u32 mask, bool lock);
// The same through the building manager's world and camera, into `hit`.
void pickUnderCursor(BuildingManager& manager, RayHit& hit, u32 mask, bool lock);

// The corner cell of a gx x gz footprint centred on `point` (world space), truncated
// toward zero.
glm::ivec2 footprintCorner(const glm::vec3& point, const glm::vec3& origin, i32 gx, i32 gz);
// The terrain cell under the cursor for a gx x gz footprint centred on it: {corner x,
// highest step under the footprint, corner z}. False when the cursor is outside the
// window, the ray meets no terrain or the footprint leaves the grid.
bool cellUnder(const CursorView& view, WorldPhysics& physics, const TerrainGrid& terrain, const glm::vec3& origin,
               i32 gx, i32 gz, glm::ivec3& cell);
// The same through the building manager's world and camera.
bool cursorGridCell(BuildingManager& manager, i32 gx, i32 gz, glm::ivec3& cell);

} // namespace Picker
