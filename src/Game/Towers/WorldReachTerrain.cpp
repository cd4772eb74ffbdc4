#include "Game/Towers/WorldReachTerrain.h"

#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/RayHit.h"
#include "Game/Towers/AimRules.h"
#include "World/Terrain/Terrain.h"
#include "World/World.h"

#include <btBulletDynamicsCommon.h>

#include <mutex>

SegmentTest queryWorldSegmentTest(WorldPhysics& physics)
{
    WorldPhysics* shared = &physics;
    return [shared](const glm::vec3& from, const glm::vec3& to) {
        // The physics and main threads test rays in the same world: one lock per test.
        std::lock_guard lock(shared->mutex);
        return Physics::rayCastClosest(from, to, shared->world->world, AimRules::TerrainMask).hit != 0;
    };
}

ReachTerrain worldReachTerrain(World& world)
{
    ReachTerrain terrain;
    terrain.steps = world.terrain->steps.data();
    terrain.side = world.terrain->gridSize;
    terrain.origin = world.origin;
    terrain.segmentHitsTerrain = queryWorldSegmentTest(*world.physics);
    return terrain;
}
