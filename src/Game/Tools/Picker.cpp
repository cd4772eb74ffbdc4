#include "Game/Tools/Picker.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Engine.h"
#include "Engine/Physics/CollisionType.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Window/Input.h"
#include "Engine/Window/Window.h"
#include "Game/Session/BuildingManager.h"
#include "World/Terrain/TerrainGrid.h"
#include "World/World.h"

#include <btBulletDynamicsCommon.h>

#include <cmath>
#include <mutex>

namespace {

// How far a pick looks.
constexpr f32 PickLength = 10000.0f;

// Beyond this distance from the grid's origin a point is no cell of any terrain, and
// its coordinates would not convert to cells.
constexpr f32 FarthestCell = 1.0e9f;

bool finite(const glm::vec3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

RayHit castRay(const CursorView& view, WorldPhysics& physics, u32 mask)
{
    // A window of no size gives no ray at all; a ray or a hit that is not finite (a
    // degenerate camera) picks nothing.
    if (view.viewport.x <= 0 || view.viewport.y <= 0) return {};
    const glm::vec3 from = view.camera->position;
    const glm::vec3 direction = view.camera->screenToWorldRay(view.cursor, view.viewport);
    if (!finite(from) || !finite(direction)) return {};
    const glm::vec3 to = from + direction * PickLength;
    RayHit hit = Physics::rayCastClosest(from, to, physics.world->world, static_cast<i32>(mask));
    if (hit.hit && !finite(hit.point)) return {};
    return hit;
}

} // namespace

namespace Picker {

CursorView currentView(const Camera* camera)
{
    CursorView view;
    view.camera = camera;
    if (Engine::input != nullptr) {
        view.cursor =
            glm::ivec2(static_cast<i32>(Engine::input->freeCursorX), static_cast<i32>(Engine::input->freeCursorY));
    }
    if (Engine::window != nullptr) view.viewport = glm::ivec2(Engine::window->width, Engine::window->height);
    return view;
}

bool cursorInside(const CursorView& view)
{
    return view.cursor.x >= 0 && view.cursor.y >= 0 && view.cursor.x < view.viewport.x &&
           view.cursor.y < view.viewport.y;
}

RayHit pick(const CursorView& view, WorldPhysics& physics, u32 mask, bool lock)
{
    if (view.camera == nullptr || physics.world == nullptr) return {};
    if (!lock) return castRay(view, physics, mask);
    std::lock_guard guard(physics.mutex);
    return castRay(view, physics, mask);
}

void pickUnderCursor(BuildingManager& manager, RayHit& hit, u32 mask, bool lock)
{
    hit = {};
    if (manager.context.physics == nullptr) return;
    hit = pick(currentView(manager.context.camera), *manager.context.physics, mask, lock);
}

glm::ivec2 footprintCorner(const glm::vec3& point, const glm::vec3& origin, i32 gx, i32 gz)
{
    return {static_cast<i32>(point.x - origin.x - static_cast<f32>(gx) * 0.5f + 0.5f),
            static_cast<i32>(point.z - origin.z - static_cast<f32>(gz) * 0.5f + 0.5f)};
}

bool cellUnder(const CursorView& view, WorldPhysics& physics, const TerrainGrid& terrain, const glm::vec3& origin,
               i32 gx, i32 gz, glm::ivec3& cell)
{
    if (!cursorInside(view)) return false;
    const RayHit hit = pick(view, physics, CollisionTerrain, true);
    if (!hit.hit) return false;
    // Only points that convert to cells: the footprint check below refuses the rest.
    const glm::vec3 local = hit.point - origin;
    if (!(std::abs(local.x) < FarthestCell && std::abs(local.z) < FarthestCell)) return false;
    const glm::ivec2 corner = footprintCorner(hit.point, origin, gx, gz);
    glm::ivec2 steps;
    if (!terrain.footprintStepRange(corner, {gx, gz}, steps)) return false;
    cell = glm::ivec3(corner.x, steps.y, corner.y);
    return true;
}

bool cursorGridCell(BuildingManager& manager, i32 gx, i32 gz, glm::ivec3& cell)
{
    const BuildingContext& context = manager.context;
    if (context.physics == nullptr || context.terrain == nullptr) return false;
    return cellUnder(currentView(context.camera), *context.physics, *context.terrain, context.origin, gx, gz, cell);
}

} // namespace Picker
