#include "BuildingTestSupport.h"

#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Physics/Registry.h"
#include "Game/Buildings/BuildingRules.h"
#include "Game/Buildings/InstanceList.h"

#include <btBulletDynamicsCommon.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

glm::vec3 origin(const btTransform& transform)
{
    const btVector3& o = transform.getOrigin();
    return {o.x(), o.y(), o.z()};
}

bool pendingAdd(PhysicsObject* object)
{
    std::lock_guard lock(registryMutex);
    return std::find(Registry::pendingAdd.begin(), Registry::pendingAdd.end(), object) != Registry::pendingAdd.end();
}

size_t countOf(const std::vector<NavigationRequest>& requests, f32 value)
{
    return static_cast<size_t>(
        std::count_if(requests.begin(), requests.end(), [&](const NavigationRequest& r) { return r.value == value; }));
}

} // namespace

TEST(BuildingLifecycle, ASpawnedCastleStandsInBothWorldsAndIsAGoal)
{
    const i32 liveBefore = liveBuildingCount.load();
    {
        BuildingGrounds grounds;
        std::shared_ptr<BuildingInstance> castle = grounds.place(BuildingTypeCastle, {508, 10, 508});
        ASSERT_NE(castle, nullptr);
        EXPECT_EQ(liveBuildingCount.load(), liveBefore + 1);
        EXPECT_EQ(castle->health.load(), 5000) << "level 0 at full health";
        EXPECT_EQ(grounds.manager->occupancy.at(508, 508), castle.get());
        EXPECT_EQ(grounds.manager->occupancy.at(515, 515), castle.get());
        EXPECT_EQ(grounds.manager->occupancy.at(516, 515), nullptr);
        EXPECT_TRUE(grounds.kinds[BuildingTypeCastle].instances.empty()) << "queued, not spawned";

        grounds.manager->update(1);
        ASSERT_EQ(grounds.kinds[BuildingTypeCastle].instances.size(), 1u);
        EXPECT_EQ(castle->listIndex, 0);
        // The footprint's centre is (0, 4, 0); the box stands on it, centred 1 higher.
        EXPECT_EQ(castle->footprintCentre(), glm::vec3(0.0f, 4.0f, 0.0f));
        ASSERT_NE(castle->physicsObject, nullptr);
        EXPECT_TRUE(pendingAdd(castle->physicsObject));
        EXPECT_EQ(origin(castle->physicsObject->body->getWorldTransform()), glm::vec3(0.0f, 5.0f, 0.0f));
        ASSERT_NE(castle->staticBody, nullptr);
        EXPECT_EQ(origin(castle->staticBody->getWorldTransform()), glm::vec3(0.0f, 5.0f, 0.0f));
        EXPECT_EQ(grounds.queryWorld.world->getNumCollisionObjects(), 1);
        auto* reference = static_cast<PhysicsReference*>(castle->staticBody->getUserPointer());
        EXPECT_EQ(reference, castle->physicsObject->reference) << "one reference for both bodies";
        EXPECT_EQ(reference->type, static_cast<u32>(CollisionBuilding));
        EXPECT_EQ(reference->owner, castle.get());
        EXPECT_EQ(castle->physicsObject->group, 512);
        EXPECT_EQ(castle->physicsObject->mask, -705);
        // Its footprint's vertices become goals.
        const std::vector<NavigationRequest> cells = grounds.navigation.takeCellValues();
        ASSERT_EQ(cells.size(), 1u);
        EXPECT_EQ(cells[0].gridPos, glm::ivec3(508, 10, 508));
        EXPECT_EQ(cells[0].gridSize, glm::ivec3(8, 5, 8));
        EXPECT_EQ(cells[0].value, 0.0f);

        // Bounds: radius 4 around the centre, in the grid's middle cell.
        castle->updateBounds();
        ASSERT_NE(castle->cullCell, nullptr);
        EXPECT_EQ(castle->cullCell, &grounds.culling.cells[16 * 32 + 16]);
        EXPECT_EQ(castle->cullCell->minX, -4.0f);
        EXPECT_EQ(castle->cullCell->maxY, 8.0f);

        // A portal turned a quarter: no body, no navigation input.
        std::shared_ptr<BuildingInstance> portal = grounds.place(BuildingTypePortal, {600, 3, 600}, 1.5707964f);
        grounds.manager->update(1);
        EXPECT_EQ(portal->physicsObject, nullptr);
        EXPECT_EQ(portal->staticBody, nullptr);
        EXPECT_TRUE(grounds.navigation.takeCellValues().empty());
        const glm::mat4& model = static_cast<BdPortalInstance&>(*portal).model;
        EXPECT_NEAR(model[0][2], -1.0f, 1e-6f) << "x turns to -z";
        EXPECT_EQ(glm::vec3(model[3]), glm::vec3(91.0f, 1.2f, 91.0f));
        // Its bounds: the largest of the three sizes is its height (16 steps, compared
        // as a plain number), so the radius is 8 around the footprint's ground centre.
        portal->updateBounds();
        ASSERT_NE(portal->cullCell, nullptr);
        EXPECT_EQ(portal->cullCell->minX, 83.0f);
        EXPECT_EQ(portal->cullCell->maxZ, 99.0f);
        EXPECT_FLOAT_EQ(portal->cullCell->maxY, 9.2f);
        EXPECT_FLOAT_EQ(portal->cullCell->minY, -6.8f);
    }
    EXPECT_EQ(liveBuildingCount.load(), liveBefore) << "the teardown lets go of every building";
}

TEST(BuildingLifecycle, RemovalSwapsTheLastInstanceIntoTheGap)
{
    BuildingGrounds grounds;
    std::vector<std::shared_ptr<BuildingInstance>> walls;
    for (i32 i = 0; i < 3; i++) walls.push_back(grounds.place(BuildingTypeWall, {100 + 3 * i, 0, 100}));
    grounds.manager->update(1);
    std::vector<std::shared_ptr<BuildingInstance>>& list = grounds.kinds[BuildingTypeWall].instances;
    ASSERT_EQ(list.size(), 3u);

    // Selling the second moves the third into its place; paused, it still goes.
    walls[1]->requestDestroy();
    grounds.manager->update(0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1], walls[2]);
    EXPECT_EQ(walls[2]->listIndex, 1);
    EXPECT_TRUE(walls[1]->destroyed.load());
    // Its cells are free, the others' are not.
    EXPECT_EQ(grounds.manager->occupancy.at(103, 100), nullptr);
    EXPECT_EQ(grounds.manager->occupancy.at(106, 100), walls[2].get());

    // The last one: nothing else moves.
    walls[2]->requestDestroy();
    grounds.manager->update(1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], walls[0]);
    EXPECT_EQ(walls[0]->listIndex, 0);

    // An entry that is not at the instance's index is never erased.
    walls[2]->listIndex = 0;
    EXPECT_FALSE(InstanceList::erase(list, walls[2].get()));
    walls[2]->listIndex = 5;
    EXPECT_FALSE(InstanceList::erase(list, walls[2].get()));
    EXPECT_EQ(list.size(), 1u);
}

TEST(BuildingLifecycle, DestroyRunsOnceAndTheCastleLosesTheGameOnce)
{
    BuildingGrounds grounds;
    std::shared_ptr<BuildingInstance> castle = grounds.place(BuildingTypeCastle, {500, 0, 500});
    std::shared_ptr<BuildingInstance> wall = grounds.place(BuildingTypeWall, {480, 0, 480});
    grounds.manager->update(1);
    grounds.navigation.takeCellValues();
    grounds.navigation.takeFixedCosts();

    // Damage marks; only the hit that reaches 0 does.
    EXPECT_FALSE(wall->applyDamage(100));
    EXPECT_EQ(wall->health.load(), 200);
    EXPECT_FALSE(wall->destroyPending.load());
    EXPECT_TRUE(wall->applyDamage(250));
    EXPECT_EQ(wall->health.load(), 0) << "never below 0";
    EXPECT_FALSE(wall->applyDamage(5)) << "already marked";
    EXPECT_EQ(grounds.kinds[BuildingTypeWall].instances.size(), 1u) << "the next tick destroys it";
    grounds.manager->update(2);
    EXPECT_TRUE(grounds.kinds[BuildingTypeWall].instances.empty());
    wall->destroy();
    EXPECT_EQ(countOf(grounds.navigation.takeFixedCosts(), -1.0f), 1u) << "a second destroy queues nothing";
    EXPECT_EQ(countOf(grounds.navigation.takeCellValues(), 999999.0f), 1u);

    castle->applyDamage(5000);
    grounds.manager->update(1);
    EXPECT_EQ(grounds.session.state.load(), static_cast<u32>(SessionLost));
    grounds.session.state = SessionPlayingOn;
    castle->destroy();
    EXPECT_EQ(grounds.session.state.load(), static_cast<u32>(SessionPlayingOn)) << "a no-op destroy ends nothing";
    EXPECT_EQ(grounds.queryWorld.world->getNumCollisionObjects(), 0);
    {
        std::lock_guard lock(registryMutex);
        EXPECT_EQ(Registry::pendingRemove.size(), 2u) << "each body handed back once";
    }

    // The teardown's destroys end no game.
    std::shared_ptr<BuildingInstance> second = grounds.place(BuildingTypeCastle, {300, 0, 300});
    grounds.manager->update(1);
    grounds.manager->destroyAll();
    EXPECT_TRUE(second->destroyed.load());
    EXPECT_EQ(grounds.session.state.load(), static_cast<u32>(SessionPlayingOn));
}

TEST(BuildingLifecycle, HealthBarsAndUpgrades)
{
    BuildingGrounds grounds;
    std::shared_ptr<BuildingInstance> castle = grounds.place(BuildingTypeCastle, {508, 10, 508});
    grounds.manager->update(1);
    glm::vec3 point(0.0f);
    f32 fraction = -1.0f;
    EXPECT_FALSE(castle->getHealthBar(glm::vec3(0.0f, 6.0f, 10.0f), point, fraction)) << "full health";

    castle->health = 2500;
    EXPECT_FALSE(castle->getHealthBar(glm::vec3(0.0f, 6.0f, 60.0f), point, fraction)) << "60 units away";
    ASSERT_TRUE(castle->getHealthBar(glm::vec3(0.0f, 6.0f, 40.0f), point, fraction));
    EXPECT_EQ(point, glm::vec3(0.0f, 6.0f, 0.0f));
    EXPECT_FLOAT_EQ(fraction, 0.5f);

    // A wall's upgrades: full health of each level, nothing past the last.
    std::shared_ptr<BuildingInstance> wall = grounds.place(BuildingTypeWall, {10, 0, 10});
    wall->health = 10;
    wall->upgrade();
    EXPECT_EQ(wall->level.load(), 1u);
    EXPECT_EQ(wall->health.load(), 600);
    wall->upgrade();
    wall->health = 1000;
    wall->upgrade();
    EXPECT_EQ(wall->level.load(), 2u);
    EXPECT_EQ(wall->health.load(), 1000);
    EXPECT_EQ(wall->maxHealth(), 1200);
}

// A building that goes gives back its cells and goals, but not what a neighbour still
// standing shares with it.
TEST(BuildingLifecycle, NeighboursKeepTheirCellsGoalsAndCosts)
{
    BuildingGrounds grounds;
    std::shared_ptr<BuildingInstance> castle = grounds.place(BuildingTypeCastle, {200, 0, 200});
    // Walls along the castle's east side (x 208..209), the first two touching each other.
    std::shared_ptr<BuildingInstance> a = grounds.place(BuildingTypeWall, {208, 0, 200});
    std::shared_ptr<BuildingInstance> b = grounds.place(BuildingTypeWall, {208, 0, 201});
    std::shared_ptr<BuildingInstance> far = grounds.place(BuildingTypeWall, {300, 0, 300});
    ASSERT_TRUE(castle && a && b && far);
    EXPECT_EQ(grounds.place(BuildingTypeWall, {207, 0, 205}), nullptr) << "cells taken by the castle";
    grounds.manager->update(1);
    grounds.navigation.takeCellValues();
    // Each wall, as it spawns, asks for a walking cost of 30 at its footprint's edges.
    const std::vector<NavigationRequest> spawned = grounds.navigation.takeFixedCosts();
    ASSERT_EQ(spawned.size(), 3u);
    for (size_t i = 0; i < 3; i++) {
        EXPECT_EQ(spawned[i].value, 30.0f);
        EXPECT_EQ(spawned[i].gridSize, glm::ivec3(2, 5, 1));
    }
    EXPECT_EQ(spawned[0].gridPos, glm::ivec3(208, 0, 200));
    EXPECT_EQ(spawned[1].gridPos, glm::ivec3(208, 0, 201));
    EXPECT_EQ(spawned[2].gridPos, glm::ivec3(300, 0, 300));

    a->requestDestroy();
    grounds.manager->update(1);
    // Goals: the whole footprint is cleared, then the vertices on the castle's edge are
    // goals again: x 208, z 200..201.
    const std::vector<NavigationRequest> cells = grounds.navigation.takeCellValues();
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[0].value, 999999.0f);
    EXPECT_EQ(cells[0].gridSize, glm::ivec3(2, 5, 1));
    for (size_t i = 1; i < 3; i++) {
        EXPECT_EQ(cells[i].value, 0.0f);
        EXPECT_EQ(cells[i].gridSize, glm::ivec3(0));
        EXPECT_EQ(cells[i].gridPos.x, 208);
        EXPECT_EQ(cells[i].gridPos.z, static_cast<i32>(199 + i));
    }
    // Costs: back to the slope, then the three vertices it shares with wall b (z 201,
    // x 208..210) cost again.
    const std::vector<NavigationRequest> costs = grounds.navigation.takeFixedCosts();
    ASSERT_EQ(costs.size(), 4u);
    EXPECT_EQ(costs[0].value, -1.0f);
    for (size_t i = 1; i < 4; i++) {
        EXPECT_EQ(costs[i].value, 30.0f);
        EXPECT_EQ(costs[i].gridPos, glm::ivec3(static_cast<i32>(207 + i), 0, 201));
    }

    // A cell that another building holds now is not cleared.
    grounds.manager->occupancy.cells[300 * 1024 + 301].store(b.get());
    far->requestDestroy();
    grounds.manager->update(1);
    EXPECT_EQ(grounds.manager->occupancy.at(300, 300), nullptr);
    EXPECT_EQ(grounds.manager->occupancy.at(301, 300), b.get());
    grounds.manager->occupancy.cells[300 * 1024 + 301].store(nullptr);
}

TEST(BuildingLifecycle, TheQueueSpawnsOnceAndTheTeardownDropsWhatWaits)
{
    const i32 liveBefore = liveBuildingCount.load();
    {
        BuildingGrounds grounds;
        std::shared_ptr<BuildingInstance> wall = grounds.kinds[BuildingTypeWall].createInstance({5, 0, 5}, 0.0f);
        EXPECT_TRUE(grounds.manager->enqueue(wall));
        EXPECT_FALSE(grounds.manager->enqueue(wall)) << "queued once only";
        EXPECT_FALSE(grounds.manager->place(grounds.kinds[BuildingTypeWall].createInstance({1023, 0, 5}, 0.0f)))
            << "the footprint leaves the grid";
        EXPECT_EQ(grounds.manager->pending.size(), 1u);
        grounds.manager->update(0);
        EXPECT_EQ(grounds.kinds[BuildingTypeWall].instances.size(), 1u) << "spawned while paused";

        // Queued but never spawned: dropped by the teardown, cells and all.
        std::shared_ptr<BuildingInstance> late = grounds.place(BuildingTypeWall, {50, 0, 50});
        grounds.manager->destroyAll();
        EXPECT_TRUE(grounds.manager->pending.empty());
        EXPECT_EQ(grounds.manager->occupancy.at(50, 50), nullptr);
        EXPECT_FALSE(late->destroyed.load()) << "never spawned, so never destroyed";
    }
    EXPECT_EQ(liveBuildingCount.load(), liveBefore);
}

TEST(BuildingLifecycle, TheCastleAndPortalsTakeFreeSitesOnly)
{
    BuildingGrounds grounds;
    std::shared_ptr<BuildingInstance> castle = grounds.manager->placeCastle();
    ASSERT_NE(castle, nullptr);
    // Within 358.75 of the centre on the flat ground.
    EXPECT_LE(glm::length(glm::vec2(castle->gridPos.x + 4 - 512, castle->gridPos.z + 4 - 512)), 360.0f);

    // Portals searched around the castle's own centre never land on it, nor on each
    // other.
    const glm::ivec2 centre(castle->gridPos.x + 4, castle->gridPos.z + 4);
    for (int i = 0; i < 12; i++) {
        ASSERT_TRUE(grounds.manager->placePortal(centre, 0.0f));
    }
    std::vector<std::shared_ptr<BuildingInstance>> placed = grounds.manager->pending;
    for (size_t i = 0; i < placed.size(); i++) {
        const glm::ivec3 p = placed[i]->gridPos, ps = placed[i]->kind->config.gridSize;
        for (size_t j = i + 1; j < placed.size(); j++) {
            const glm::ivec3 q = placed[j]->gridPos, qs = placed[j]->kind->config.gridSize;
            const bool apart = p.x + ps.x <= q.x || q.x + qs.x <= p.x || p.z + ps.z <= q.z || q.z + qs.z <= p.z;
            EXPECT_TRUE(apart) << i << " and " << j << " overlap";
        }
    }

    // With every cell taken there is no site: the portal is left out.
    for (i32 z = 0; z < 1024; z++) {
        for (i32 x = 0; x < 1024; x++) {
            BuildingInstance* expected = nullptr;
            grounds.manager->occupancy.cells[static_cast<size_t>(z) * 1024 + x].compare_exchange_strong(
                expected, castle.get());
        }
    }
    EXPECT_FALSE(grounds.manager->placePortal({256, 512}, 0.0f));
}

// A new game's four portals: around (n/2, n/4) unturned, (n/4, n/2) turned a quarter,
// (n/2, 3n/4) unturned and (3n/4, n/2) turned a quarter, in that order. On ground
// where no footprint is level enough the search finds no site, and each portal takes
// the footprint centred on its point.
TEST(BuildingLifecycle, TheFourPortalsStandAroundTheirCentresTurnedInTurn)
{
    BuildingGrounds grounds;
    const u32 n = grounds.terrain.gridSize;
    ASSERT_EQ(n, 1025u);
    // A checkerboard of steps 0 and 10: every footprint spans 10 steps.
    for (u32 z = 0; z < n; z++) {
        for (u32 x = 0; x < n; x++) grounds.terrain.steps[static_cast<size_t>(z) * n + x] = ((x + z) % 2) * 10;
    }
    const glm::ivec2 centres[4] = {{512, 256}, {256, 512}, {512, 768}, {768, 512}};
    const f32 rotations[4] = {0.0f, 1.5707964f, 0.0f, 1.5707964f};
    const glm::ivec3 size = grounds.kinds[BuildingTypePortal].config.gridSize;

    EXPECT_EQ(grounds.manager->placeStartPortals(), 4u);
    const std::vector<std::shared_ptr<BuildingInstance>> placed = grounds.manager->pending;
    ASSERT_EQ(placed.size(), 4u);
    for (size_t i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        auto* portal = dynamic_cast<BdPortalInstance*>(placed[i].get());
        ASSERT_NE(portal, nullptr);
        EXPECT_EQ(portal->gridPos, glm::ivec3(centres[i].x - size.x / 2, 10, centres[i].y - size.z / 2));
        EXPECT_EQ(portal->rotation, rotations[i]);
    }
}
