#pragma once

// Changes of the navigation field while enemies walk, as a game has them when walls are
// built and sold and buildings fall: a wall placed, then sold, then placed again, each
// a whole change of the field, on a site off every walker's way. The field's thread is
// played by a fixed number of solver steps per tick, so a walk is the same every time.

#include "IslandTestSupport.h"

#include "Game/Buildings/Building.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/Navigation/NavigationRules.h"
#include "Game/Navigation/PathField.h"
#include "Game/Session/SessionRules.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace FieldChangeRules {
// The wall's vertices are at least this much farther along the field than where the
// walkers leave the portals: every walker's way runs through nearer vertices.
constexpr f32 BeyondPortals = 60.0f;
// And at least this far across the ground from every portal and the castle.
constexpr f32 Clearance = 40.0f;
// Sites tried: every this many vertices along both axes.
constexpr u32 SearchStride = 4;
// Solver steps per tick while the field grows again. A whole regrowth of an island
// takes some 10 steps of about 12 ms each on a desktop core, so the field's thread gets
// through a little more than one in a tick's time: one leaves the walkers a little
// longer on the distances of a field that is still growing.
constexpr u32 StepsPerTick = 1;
} // namespace FieldChangeRules

class FieldChanges {
public:
    // A change every `periodSeconds` of game time from now on; 0 makes none, and so
    // does an island without a site for the wall.
    FieldChanges(IslandGame& game, f32 periodSeconds) : game(game)
    {
        if (periodSeconds <= 0.0f) return;
        periodTicks = std::max<u64>(1, static_cast<u64>(std::lround(periodSeconds / TickSeconds)));
        nextTick = game.ticks + periodTicks;
        hasSite = findSite();
    }

    // Before each tick: the change that is due, then the field's solving for the tick.
    void beforeTick()
    {
        if (periodTicks == 0 || !hasSite) return;
        if (game.ticks >= nextTick) {
            change();
            nextTick += periodTicks;
        }
        PathField& field = *game.enemies->pathField;
        for (u32 i = 0; i < FieldChangeRules::StepsPerTick; i++) {
            if (!field.step()) break;
        }
    }

private:
    IslandGame& game;
    u64 periodTicks = 0;
    u64 nextTick = 0;
    bool hasSite = false;
    glm::ivec3 site{0};
    std::shared_ptr<BuildingInstance> wall;

    void change()
    {
        if (wall == nullptr) {
            wall = buildingTypes[BuildingTypeWall]->createInstance(site, 0.0f);
            if (!game.buildings->place(wall)) wall = nullptr;
            return;
        }
        wall->requestDestroy(); // as a sale: the next tick takes it down
        wall = nullptr;
    }

    f32 distanceAt(i64 x, i64 z) const { return game.enemies->pathField->sharedDistance(x, z); }

    // The farthest field distance at which enemies leave a portal.
    f32 portalReach() const
    {
        f32 reach = 0.0f;
        for (const PortalSite& portal : game.portals) {
            for (bool heavy : {false, true}) {
                const glm::vec3 r =
                    EnemySpawner::spawnPosition(portal, game.enemies->context.ground, heavy) - game.grid.origin;
                reach = std::max(reach, distanceAt(static_cast<i64>(r.x + 0.5f), static_cast<i64>(r.z + 0.5f)));
            }
        }
        return reach;
    }

    // The least field distance over the wall's vertices at corner (x, z); Unreached
    // where any is not reached.
    f32 nearestVertex(u32 x, u32 z, const glm::ivec3& size) const
    {
        f32 nearest = PathDistanceRules::Unreached;
        for (i32 dz = 0; dz <= size.z; dz++) {
            for (i32 dx = 0; dx <= size.x; dx++) {
                const f32 d = distanceAt(static_cast<i64>(x) + dx, static_cast<i64>(z) + dz);
                if (!(d < PathDistanceRules::SolvedLimit)) return PathDistanceRules::Unreached;
                nearest = std::min(nearest, d);
            }
        }
        return nearest;
    }

    bool clearOfBuildings(glm::vec2 centre) const
    {
        auto near = [&](const glm::ivec3& gridPos, const glm::ivec3& size) {
            const glm::vec2 other = glm::vec2(gridPos.x, gridPos.z) + glm::vec2(size.x, size.z) * 0.5f;
            return glm::length(centre - other) < FieldChangeRules::Clearance;
        };
        for (const PortalSite& portal : game.portals) {
            if (near(portal.gridPos, portal.gridSize)) return false;
        }
        return game.castle == nullptr || !near(game.castle->gridPos, game.castle->kind->config.gridSize);
    }

    // The site farthest along the field, among those beyond the portals' reach, clear
    // of the buildings and free.
    bool findSite()
    {
        const glm::ivec3 size = buildingTypes[BuildingTypeWall]->config.gridSize;
        const f32 least = portalReach() + FieldChangeRules::BeyondPortals;
        const u32 n = game.grid.gridSize;
        f32 farthest = 0.0f;
        bool any = false;
        for (u32 z = 1; z + static_cast<u32>(size.z) + 1 < n; z += FieldChangeRules::SearchStride) {
            for (u32 x = 1; x + static_cast<u32>(size.x) + 1 < n; x += FieldChangeRules::SearchStride) {
                const f32 d = nearestVertex(x, z, size);
                if (!(d < PathDistanceRules::SolvedLimit) || d < least || d <= farthest) continue;
                const glm::vec2 centre = glm::vec2(x, z) + glm::vec2(size.x, size.z) * 0.5f;
                glm::ivec2 steps;
                if (!clearOfBuildings(centre) || !game.grid.footprintStepRange({x, z}, {size.x, size.z}, steps)) {
                    continue;
                }
                const glm::ivec3 candidate(x, steps.y, z);
                if (!game.buildings->occupancy.isFree(candidate, size)) continue;
                site = candidate;
                farthest = d;
                any = true;
            }
        }
        return any;
    }
};
