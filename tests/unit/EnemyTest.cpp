#include "BuildingTestSupport.h"
#include "EnemyTestSupport.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Physics/CollisionType.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Game/Navigation/PathField.h"
#include "Game/Tools/Picker.h"
#include "World/Terrain/CollisionMesh.h"
#include "World/Terrain/TerrainGrid.h"
#include "World/World.h"
#include "Game/Enemies/EnemyRules.h"
#include "Game/Session/SessionRules.h"
#include "World/Culling/BoundingAABB.h"

#include <btBulletDynamicsCommon.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace {

btRigidBody& bodyOf(const EnemyInstance& enemy)
{
    return *enemy.physicsObject->body;
}

// Puts the enemy's body at `at` with velocity `moving` and runs its pre-step hook, as
// the simulation thread does before a step; the force it left on the body.
glm::vec3 steerAt(EnemyInstance& enemy, glm::vec3 at, glm::vec3 moving = glm::vec3(0.0f))
{
    btRigidBody& body = bodyOf(enemy);
    body.clearForces();
    body.getWorldTransform().setOrigin(btVector3(at.x, at.y, at.z));
    body.setLinearVelocity(btVector3(moving.x, moving.y, moving.z));
    enemy.physicsObject->preStep();
    const btVector3 f = body.getTotalForce();
    return {f.x(), f.y(), f.z()};
}

} // namespace

TEST(Enemy, KindsAndANewEnemy)
{
    EnemyGrounds grounds;
    ASSERT_EQ(enemyTypes[EnemyTypeBase], grounds.kinds.normal.get());
    ASSERT_EQ(enemyTypes[EnemyTypeHeavy], grounds.kinds.heavy.get());
    // Capsules of total height = height: radius width/2, cylinder height - width.
    EXPECT_FLOAT_EQ(grounds.kinds.normal->shape->getRadius(), 0.4f);
    EXPECT_FLOAT_EQ(grounds.kinds.normal->shape->getHalfHeight() * 2.0f, 1.2f);
    EXPECT_FLOAT_EQ(grounds.kinds.heavy->shape->getRadius(), 1.0f);
    EXPECT_FLOAT_EQ(grounds.kinds.heavy->shape->getHalfHeight() * 2.0f, 1.0f);
    EXPECT_EQ(grounds.kinds.heavy->logoIndex.x, 1);
    EXPECT_EQ(grounds.kinds.heavy->logoIndex.y, 1);

    const i32 before = aliveEnemyCount.load();
    {
        auto made = std::make_unique<EnHeavyInstance>(glm::vec3(1.0f, 2.0f, 3.0f));
        EXPECT_EQ(aliveEnemyCount.load(), before + 1) << "counted from its making";
        EXPECT_EQ(made->health.load(), 2500);
        EXPECT_EQ(made->bucketIndex, -1);
        EXPECT_EQ(made->attackCooldown, 60);
        EXPECT_EQ(made->position.load(), glm::vec3(1.0f, 2.0f, 3.0f));
        EXPECT_EQ(made->typeIndex, 1u);
    }
    EXPECT_EQ(aliveEnemyCount.load(), before);
}

TEST(Enemy, SpawnGivesAnUprightSleeplessBodyInTheListAndABucket)
{
    EnemyGrounds grounds;
    const glm::vec3 at = grounds.origin() + glm::vec3(20.5f, 1.0f, 40.2f);
    std::shared_ptr<EnemyInstance> enemy = grounds.spawn(at);
    ASSERT_NE(enemy->physicsObject, nullptr);
    EXPECT_EQ(enemy->listIndex, 0);
    const btRigidBody& body = bodyOf(*enemy);
    EXPECT_FLOAT_EQ(1.0f / body.getInvMass(), 1.0f);
    EXPECT_EQ(body.getFriction(), 0.0f);
    EXPECT_FLOAT_EQ(body.getRollingFriction(), 0.01f);
    EXPECT_EQ(body.getAngularFactor(), btVector3(0, 1, 0)) << "it turns about y only";
    EXPECT_FLOAT_EQ(body.getAngularDamping(), 0.95f);
    EXPECT_EQ(body.getLinearSleepingThreshold(), 0.0f) << "never asleep";
    EXPECT_EQ(enemy->physicsObject->group, 256);
    EXPECT_EQ(enemy->physicsObject->mask, -1);
    const PhysicsReference* reference = enemy->physicsObject->reference;
    EXPECT_EQ(reference->type, 256u);
    EXPECT_EQ(reference->mask, 512u) << "reports contacts with buildings";
    EXPECT_FLOAT_EQ(reference->contactThreshold, 1.0f);
    EXPECT_EQ(reference->owner, enemy.get());
    // The lateral offset stays within the kind's scale.
    EXPECT_LE(std::abs(enemy->lateralOffset.x), 0.2f);
    EXPECT_LE(std::abs(enemy->lateralOffset.y), 0.2f);
    EXPECT_NE(enemy->lateralOffset, glm::vec2(0.0f));

    // The first update files it in the bucket of its 8 x 8 square: column 2, row 5.
    enemy->update();
    EXPECT_EQ(enemy->bucketIndex, 2 + 5 * 16);
    EXPECT_EQ(grounds.manager->buckets.bucket(enemy->bucketIndex).size(), 1u);

    // A heavy enemy's body: mass 50, friction 0.005, the same upright capsule rules.
    std::shared_ptr<EnemyInstance> heavy = grounds.spawn(at + glm::vec3(5.0f, 1.0f, 0.0f), true);
    const btRigidBody& heavyBody = bodyOf(*heavy);
    EXPECT_FLOAT_EQ(1.0f / heavyBody.getInvMass(), 50.0f);
    EXPECT_FLOAT_EQ(heavyBody.getFriction(), 0.005f);
    EXPECT_EQ(heavyBody.getAngularFactor(), btVector3(0, 1, 0));
    EXPECT_EQ(heavyBody.getCollisionShape(), grounds.kinds.heavy->shape);
    EXPECT_LE(std::abs(heavy->lateralOffset.x), 0.1f);
    EXPECT_LE(std::abs(heavy->lateralOffset.y), 0.1f);
}

TEST(Enemy, BucketsFollowTheEnemiesAndSwapWithTheLastOnRemoval)
{
    EnemyGrounds grounds;
    EnemyBuckets& buckets = grounds.manager->buckets;
    const glm::vec3 o = grounds.origin();
    ASSERT_EQ(buckets.width, 16u);
    EXPECT_EQ(buckets.indexAt(o.x + 7.99f, o.z), 0);
    EXPECT_EQ(buckets.indexAt(o.x + 8.0f, o.z + 8.0f), 17);
    EXPECT_EQ(buckets.indexAt(o.x - 0.5f, o.z - 0.5f), 0) << "truncation toward zero";
    EXPECT_EQ(buckets.indexAt(o.x - 8.5f, o.z), -1);
    EXPECT_EQ(buckets.indexAt(o.x + 128.0f, o.z), -1) << "column 16 is no bucket";
    EXPECT_EQ(buckets.indexAt(std::numeric_limits<f32>::quiet_NaN(), o.z), -1);

    std::shared_ptr<EnemyInstance> a = grounds.spawn(o + glm::vec3(3.0f, 1.0f, 3.0f));
    std::shared_ptr<EnemyInstance> b = grounds.spawn(o + glm::vec3(4.0f, 1.0f, 4.0f));
    std::shared_ptr<EnemyInstance> c = grounds.spawn(o + glm::vec3(5.0f, 1.0f, 5.0f));
    for (const auto& e : {a, b, c}) e->update();
    ASSERT_EQ(buckets.bucket(0).size(), 3u);
    EXPECT_EQ(b->bucketSlot, 1u);

    // a walks into the next square: c takes its place in the first.
    a->position.store(o + glm::vec3(9.0f, 1.0f, 3.0f));
    a->update();
    EXPECT_EQ(a->bucketIndex, 1);
    EXPECT_EQ(buckets.bucket(0).size(), 2u);
    EXPECT_EQ(buckets.bucket(0)[0], c);
    EXPECT_EQ(c->bucketSlot, 0u);
    EXPECT_EQ(buckets.bucket(1)[0], a);

    // Beyond the grid it stays where it was.
    a->position.store(o + glm::vec3(500.0f, 1.0f, 3.0f));
    a->updateBucket();
    EXPECT_EQ(a->bucketIndex, 1);

    // Destroyed: out of its bucket and its list; the last of the list takes its index.
    c->destroy();
    EXPECT_EQ(c->bucketIndex, -1);
    EXPECT_EQ(buckets.bucket(0).size(), 1u);
    EXPECT_EQ(buckets.bucket(0)[0], b);
    EXPECT_EQ(b->bucketSlot, 0u);
    ASSERT_EQ(grounds.kinds.normal->instances.size(), 2u);
    EXPECT_EQ(grounds.kinds.normal->instances[0], a);
    EXPECT_EQ(grounds.kinds.normal->instances[1], b);
    EXPECT_EQ(b->listIndex, 1);
    EXPECT_EQ(buckets.count(), 2u);
}

TEST(Enemy, DestroyPaysOnceUnlistsAndThenHandsTheBodyBack)
{
    EnemyGrounds grounds;
    const glm::vec3 o = grounds.origin();
    std::shared_ptr<EnemyInstance> normal = grounds.spawn(o + glm::vec3(10.0f, 1.0f, 10.0f));
    std::shared_ptr<EnemyInstance> heavy = grounds.spawn(o + glm::vec3(12.0f, 2.0f, 10.0f), true);
    normal->update();
    PhysicsObject* body = normal->physicsObject;
    const i32 start = grounds.money();

    normal->destroy();
    EXPECT_EQ(grounds.money(), start + 200);
    EXPECT_TRUE(grounds.kinds.normal->instances.empty());
    EXPECT_EQ(normal->bucketIndex, -1);
    const std::vector<PhysicsObject*> removals = pendingRemovals();
    EXPECT_EQ(std::count(removals.begin(), removals.end(), body), 1);

    // Again, from whatever caller: nothing more is paid, removed or handed back.
    normal->destroy();
    normal->update();
    EXPECT_EQ(grounds.money(), start + 200);
    EXPECT_EQ(pendingRemovals().size(), removals.size());

    heavy->destroy();
    EXPECT_EQ(grounds.money(), start + 200 + 2500);
    EXPECT_EQ(SessionRules::HeavyKillReward, 2500);
}

TEST(Enemy, DamageMarksOnceAndTheNextUpdateDestroysWithTheReward)
{
    EnemyGrounds grounds;
    std::shared_ptr<EnemyInstance> enemy = grounds.spawn(grounds.origin() + glm::vec3(10.0f, 1.0f, 10.0f));
    const i32 start = grounds.money();
    EXPECT_FALSE(enemy->applyDamage(60));
    EXPECT_EQ(enemy->health.load(), 40);
    EXPECT_TRUE(enemy->alive());
    EXPECT_TRUE(enemy->applyDamage(60)) << "the hit that reaches 0";
    EXPECT_EQ(enemy->health.load(), 0);
    EXPECT_FALSE(enemy->applyDamage(60)) << "a dead enemy is not killed again";
    EXPECT_FALSE(enemy->alive());
    EXPECT_EQ(grounds.money(), start) << "marked only: the logic thread destroys";
    EXPECT_EQ(grounds.kinds.normal->instances.size(), 1u);
    enemy->update();
    EXPECT_TRUE(enemy->destroyed.load());
    EXPECT_EQ(grounds.money(), start + 200);

    // Leaving the world destroys it at its next update and still pays.
    std::shared_ptr<EnemyInstance> lost = grounds.spawn(grounds.origin() + glm::vec3(10.0f, 1.0f, 10.0f));
    lost->outOfWorld = true;
    lost->update();
    EXPECT_TRUE(lost->destroyed.load());
    EXPECT_EQ(grounds.money(), start + 400);
}

TEST(Enemy, SteeringBeforeEachStep)
{
    EnemyGrounds grounds(129, 5); // the ground at 2 units
    const glm::vec3 o = grounds.origin();
    std::shared_ptr<EnemyInstance> enemy = grounds.spawn(o + glm::vec3(30.0f, 3.0f, 30.0f));
    enemy->lateralOffset = glm::vec2(0.1f, 0.0f);

    // On the ground, standing, no field: the lateral offset alone walks it.
    glm::vec3 force = steerAt(*enemy, o + glm::vec3(30.0f, 3.0f, 30.0f));
    EXPECT_NEAR(force.x, 0.1f * 6.0f * 10.0f * 6.0f, 1e-2f);
    EXPECT_EQ(force.z, 0.0f);
    EXPECT_EQ(enemy->position.load(), o + glm::vec3(30.0f, 3.0f, 30.0f)) << "copied from the body";

    // Airborne (2.4 or more above its step): no force at all.
    EXPECT_EQ(steerAt(*enemy, o + glm::vec3(30.0f, 4.5f, 30.0f), {1.0f, -5.0f, 0.0f}), glm::vec3(0.0f));
    EXPECT_FALSE(enemy->outOfWorld.load());

    // Stunned on the ground: braked against its velocity.
    enemy->stun = 30.0f;
    force = steerAt(*enemy, o + glm::vec3(30.0f, 3.0f, 30.0f), {2.0f, 0.0f, -1.0f});
    EXPECT_LT(force.x, 0.0f);
    EXPECT_GT(force.z, 0.0f);
    // Updates wear the stun off by the kind's decay: 1 a tick, 4 for a heavy enemy,
    // never below 0.
    enemy->update();
    EXPECT_FLOAT_EQ(enemy->stun.load(), 29.0f);
    std::shared_ptr<EnemyInstance> heavy = grounds.spawn(o + glm::vec3(40.0f, 4.0f, 30.0f), true);
    heavy->stun = 30.0f;
    heavy->update();
    EXPECT_FLOAT_EQ(heavy->stun.load(), 26.0f);
    for (int tick = 0; tick < 7; tick++) heavy->update();
    EXPECT_EQ(heavy->stun.load(), 0.0f);

    // A blast's push reaches the body once, at the next step, nothing lost or doubled.
    enemy->stun = 0.0f;
    enemy->addForce({100.0f, 50.0f, 0.0f});
    enemy->addForce({100.0f, 0.0f, 0.0f});
    force = steerAt(*enemy, o + glm::vec3(30.0f, 4.5f, 30.0f)); // airborne: the push alone
    EXPECT_EQ(force, glm::vec3(200.0f, 50.0f, 0.0f));
    EXPECT_EQ(steerAt(*enemy, o + glm::vec3(30.0f, 4.5f, 30.0f)), glm::vec3(0.0f));

    // Off the world (or not a number at all): marked, no force; its update destroys it.
    for (const glm::vec3 at : {o + glm::vec3(-1.0f, 3.0f, 30.0f),
                               glm::vec3(std::numeric_limits<f32>::quiet_NaN(), 3.0f, 0.0f)}) {
        enemy->outOfWorld = false;
        EXPECT_EQ(steerAt(*enemy, at), glm::vec3(0.0f));
        EXPECT_TRUE(enemy->outOfWorld.load());
    }
    enemy->update();
    EXPECT_TRUE(enemy->destroyed.load());
}

TEST(Enemy, HitsABuildingOncePerCooldownUnlessKnockedAndTheCastleFalls)
{
    BuildingGrounds buildings;
    EnemyGrounds grounds;
    const glm::vec3 o = grounds.origin();
    std::shared_ptr<BuildingInstance> castle = buildings.place(BuildingTypeCastle, {508, 0, 508});
    ASSERT_NE(castle, nullptr);
    buildings.manager->update(1);
    ASSERT_NE(castle->physicsObject, nullptr);
    PhysicsReference* wall = castle->physicsObject->reference;
    std::shared_ptr<EnemyInstance> enemy = grounds.spawn(o + glm::vec3(30.0f, 1.0f, 30.0f), true);

    EXPECT_EQ(enemy->attackCooldown, 60);
    enemy->hit(wall);
    EXPECT_EQ(castle->health.load(), 5000) << "no hit before the start cooldown is over";
    for (int step = 0; step < 60; step++) steerAt(*enemy, o + glm::vec3(30.0f, 2.0f, 30.0f));
    EXPECT_EQ(enemy->attackCooldown, 0);
    enemy->hit(wall);
    EXPECT_EQ(castle->health.load(), 5000 - 60) << "a heavy enemy's hit";
    enemy->hit(wall);
    EXPECT_EQ(castle->health.load(), 5000 - 60) << "once per 60 ticks";

    // Knocked faster than 1.5 (heavy): the cooldown is held at 10 at least.
    for (int step = 0; step < 60; step++) steerAt(*enemy, o + glm::vec3(30.0f, 2.0f, 30.0f));
    steerAt(*enemy, o + glm::vec3(30.0f, 2.0f, 30.0f), {2.0f, 0.0f, 0.0f});
    EXPECT_EQ(enemy->attackCooldown, 10);

    // A normal enemy hits for 5.
    std::shared_ptr<EnemyInstance> normal = grounds.spawn(o + glm::vec3(34.0f, 1.0f, 30.0f));
    for (int step = 0; step < 60; step++) steerAt(*normal, o + glm::vec3(34.0f, 1.0f, 30.0f));
    const i32 before = castle->health.load();
    normal->hit(wall);
    EXPECT_EQ(castle->health.load(), before - 5);
    normal->hit(wall);
    EXPECT_EQ(castle->health.load(), before - 5);

    // The hit that brings the castle to 0 only marks it; the logic thread's next
    // building update destroys it, and the game is lost.
    castle->health = 30;
    for (int step = 0; step < 10; step++) steerAt(*enemy, o + glm::vec3(30.0f, 2.0f, 30.0f));
    enemy->hit(wall);
    EXPECT_EQ(castle->health.load(), 0);
    EXPECT_TRUE(castle->destroyPending.load());
    EXPECT_FALSE(castle->destroyed.load());
    buildings.manager->update(1);
    EXPECT_TRUE(castle->destroyed.load());
    EXPECT_EQ(buildings.session.state.load(), static_cast<u32>(SessionLost));
}

TEST(Enemy, TeardownPaysNothingAndDeletesTheQueuedOnes)
{
    const i32 before = aliveEnemyCount.load();
    {
        EnemyGrounds grounds;
        const glm::vec3 o = grounds.origin();
        for (int i = 0; i < 5; i++) grounds.spawn(o + glm::vec3(10.0f + i, 1.0f, 10.0f), i % 2 == 1);
        grounds.manager->update();
        grounds.manager->enqueue(std::make_unique<EnBaseInstance>(o + glm::vec3(3.0f, 1.0f, 3.0f)));
        EXPECT_EQ(aliveEnemyCount.load(), before + 6);
        const i32 start = grounds.money();
        grounds.manager->destroyAll();
        EXPECT_EQ(grounds.money(), start) << "no reward in the teardown";
        EXPECT_TRUE(grounds.kinds.normal->instances.empty());
        EXPECT_TRUE(grounds.kinds.heavy->instances.empty());
        EXPECT_EQ(grounds.manager->buckets.count(), 0u);
        EXPECT_TRUE(grounds.manager->pending.empty());
        EXPECT_EQ(aliveEnemyCount.load(), before + 5) << "the queued one is gone, the others wait for their bodies";
    }
    EXPECT_EQ(aliveEnemyCount.load(), before);
}

TEST(Enemy, DrawsOnlyWhatThePassSeesAndAtMostTheSlotsCapacity)
{
    EnemyGrounds grounds;
    const glm::vec3 o = grounds.origin();
    Enemy& kind = *grounds.kinds.normal;
    std::shared_ptr<EnemyInstance> near = grounds.spawn(o + glm::vec3(10.0f, 1.0f, 10.0f));
    std::shared_ptr<EnemyInstance> far = grounds.spawn(o + glm::vec3(100.0f, 1.0f, 100.0f));
    const Simulation::RenderState view{0, 1.0f};
    grounds.culling.reset();
    kind.updateAllBounds(grounds.culling, view);
    ASSERT_NE(near->cullingCell, nullptr);
    ASSERT_NE(near->cullingCell, far->cullingCell);
    near->cullingCell->visible = 1;
    far->cullingCell->visible = 0;
    std::vector<glm::mat4> matrices(4);
    ASSERT_EQ(kind.writeMatrices(matrices.data(), 4, view), 1u) << "the far cell is outside the frustum";
    EXPECT_EQ(glm::vec3(matrices[0][3]), o + glm::vec3(10.0f, 1.0f, 10.0f));

    // More enemies than the range holds (8,000): the first 8,000 are drawn.
    for (int i = 0; i < 8100; i++) {
        auto extra = std::make_shared<EnBaseInstance>(o + glm::vec3(10.0f, 1.0f, 10.0f));
        extra->cullingCell = near->cullingCell;
        kind.instances.push_back(extra);
    }
    matrices.resize(8000);
    EXPECT_EQ(kind.writeMatrices(matrices.data(), EnemyDrawRules::MaxDrawnEnemies, view), 8000u);
    kind.instances.resize(2);

    // Health bars: none at full health or beyond 50 units, else above the body.
    glm::vec3 point;
    f32 fraction = 0.0f;
    const glm::vec3 eye = o + glm::vec3(10.0f, 1.0f, 50.0f);
    EXPECT_FALSE(near->getHealthBar(eye, view, point, fraction));
    near->applyDamage(25);
    ASSERT_TRUE(near->getHealthBar(eye, view, point, fraction));
    EXPECT_FLOAT_EQ(fraction, 0.75f);
    EXPECT_EQ(point, o + glm::vec3(10.0f, 2.0f, 10.0f));
    EXPECT_FALSE(near->getHealthBar(o + glm::vec3(10.0f, 1.0f, 60.01f), view, point, fraction));
}

TEST(Enemy, TheManagerForwardsBuildingsToItsFieldAndReadsDirectionsFromIt)
{
    // A field over flat ground of 129 x 129 points, solved here step by step.
    EnemyGrounds grounds;
    EnemyManager& manager = *grounds.manager;
    EXPECT_EQ(manager.fieldDirection(64, 64), glm::vec2(0.0f)) << "no field: no direction";
    manager.queueCellValues({60, 0, 60}, {4, 1, 4}, 0.0f); // dropped without a field
    manager.pathField = new PathField(std::vector<f32>(129 * 129, 1.0f), 129, false);

    // The castle's footprint becomes goals through the manager; a rectangle partly
    // before the grid is clipped to it, one wholly outside changes nothing.
    manager.queueCellValues({60, 0, 60}, {4, 1, 4}, 0.0f);
    manager.queueFixedCosts({-5, 0, -5}, {7, 1, 7}, 30.0f);
    manager.queueCellValues({-100, 0, -100}, {4, 1, 4}, 0.0f);
    manager.pathField->solveUntilIdle();
    const glm::vec2 east = manager.fieldDirection(90, 62);
    EXPECT_NEAR(east.x, -1.0f, 0.05f) << "east of the castle the way leads west";
    EXPECT_NEAR(east.y, 0.0f, 0.05f);
    EXPECT_EQ(manager.fieldDirection(-1, 62), glm::vec2(0.0f)) << "outside the grid";
    EXPECT_EQ(manager.fieldDirection(62, 129), glm::vec2(0.0f));
}

TEST(Picker, TheCellUnderTheCursorCentresTheFootprintOnTheHighestStep)
{
    // Terraced ground in a query world, and a camera straight above its middle.
    TerrainGrid grid(8, 2); // 17 x 17 points from (-8, 0, -8)
    for (u32 z = 0; z < grid.gridSize; z++) {
        for (u32 x = 0; x < grid.gridSize; x++) grid.steps[z * grid.gridSize + x] = static_cast<i32>(x / 3);
    }
    btTriangleMesh mesh(true, true);
    fillCollisionMesh(grid, mesh);
    std::unique_ptr<btBvhTriangleMeshShape> shape(buildCollisionShape(&mesh, 1, &grid));
    PhysicsWorld queryWorld;
    queryWorld.init(QueryWorldGravity);
    btCollisionObject ground;
    ground.setCollisionShape(shape.get());
    queryWorld.world->addCollisionObject(&ground, CollisionTerrain, -1);
    WorldPhysics physics;
    physics.world = &queryWorld;
    Camera camera;
    camera.setPerspective(60.0f, 1.0f, 0.5f, 1000.0f);
    camera.position = glm::vec3(0.3f, 40.0f, 0.2f);
    camera.forward = glm::vec3(0.0f, -1.0f, 0.0f);
    camera.updateView();
    CursorView view{&camera, {50, 50}, {100, 100}};

    glm::ivec3 cell;
    ASSERT_TRUE(Picker::cellUnder(view, physics, grid, grid.origin, 1, 1, cell));
    EXPECT_EQ(glm::ivec2(cell.x, cell.z), glm::ivec2(8, 8));
    EXPECT_EQ(cell.y, 3) << "the highest step under the footprint (x 8..9)";
    ASSERT_TRUE(Picker::cellUnder(view, physics, grid, grid.origin, 3, 3, cell));
    EXPECT_EQ(glm::ivec2(cell.x, cell.z), glm::ivec2(7, 7));
    EXPECT_EQ(cell.y, 3);
    // A footprint reaching the last vertex, a cursor outside the window, a ray missing
    // the ground: no cell.
    EXPECT_FALSE(Picker::cellUnder(view, physics, grid, grid.origin, 17, 17, cell));
    view.cursor = {100, 50};
    EXPECT_FALSE(Picker::cellUnder(view, physics, grid, grid.origin, 1, 1, cell));
    view.cursor = {50, 50};
    camera.forward = glm::vec3(0.0f, 1.0f, 0.0f);
    camera.updateView();
    EXPECT_FALSE(Picker::cellUnder(view, physics, grid, grid.origin, 1, 1, cell));
    queryWorld.world->removeCollisionObject(&ground);
}
