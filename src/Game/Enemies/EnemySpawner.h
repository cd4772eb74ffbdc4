#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>

#include <vector>

class Building;
class EnemyManager;
struct SteeringGround;
struct WaveState;

// Where a portal stands: its footprint's corner {cell x, step, cell z} and size.
struct PortalSite {
    glm::ivec3 gridPos{0};
    glm::ivec3 gridSize{0};
};

// Releases the enemies of a wave at the portals (game-logic thread only).
class EnemySpawner {
public:
    EnemyManager* enemies = nullptr;
    const Building* portalKind = nullptr; // whose instances are the portals

    // The portals standing now (game-logic thread: it alone changes the list).
    std::vector<PortalSite> portalSites() const;

    // One enemy of the wave at a portal chosen uniformly at random (an unbiased
    // bounded draw): a heavy one while any is left, else a normal one, counted off the
    // wave, made at the portal's footprint centre above its ground and queued for
    // spawning later in this tick. False, and nothing changes, without a portal.
    bool spawnAtRandomPortal(WaveState& wave, const std::vector<PortalSite>& portals);

    // Where an enemy leaves `portal`: the footprint's centre, at the kind's height above
    // the terrain step under it.
    static glm::vec3 spawnPosition(const PortalSite& portal, const SteeringGround& ground, bool heavy);
};
