#include "TargetEnemies.h"
#include "TowerTestSupport.h"

#include "Engine/Physics/PhysicsObject.h"
#include "Game/Buildings/BuildingRules.h"
#include "Game/Projectiles/PtBombInstance.h"
#include "Game/Projectiles/PtCannonBallInstance.h"
#include "Game/Towers/ReachGrid.h"
#include "Game/Towers/TurretAim.h"

#include <btBulletDynamicsCommon.h>
#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

namespace {

glm::vec3 originOf(const btTransform& transform)
{
    const btVector3& o = transform.getOrigin();
    return {o.x(), o.y(), o.z()};
}

void expectMatrixNear(const glm::mat4& actual, const glm::mat4& expected)
{
    for (int c = 0; c < 4; c++) {
        for (int r = 0; r < 4; r++) EXPECT_NEAR(actual[c][r], expected[c][r], 1e-5f) << "column " << c << " row " << r;
    }
}

} // namespace

// A spawned tower stands in both worlds with its box on the footprint's ground centre,
// is a goal of the navigation, aims at level 0's interval (not the file's cooldown),
// and holds its start pose (turret and barrel level along +x at the pivot, 1 above the
// ground) in all three slots, so the first frame draws it whatever slot it blends.
// Spawning writes nothing into the matrix pool: the main thread does, once per part.
TEST(TowerInstance, SpawnHoldsTheStartPoseInAllSlotsAndLeavesThePoolToTheMainThread)
{
    TowerConfig file = cannonTowerConfig();
    file.aimSettings.shotCooldown = 999;
    TowerGrounds world;
    TestTowerKind cannon(BuildingTypeCannon, file);
    buildingTypes[BuildingTypeCannon] = &cannon;
    world.grounds.navigation.takeCellValues();
    std::shared_ptr<TowerInstance> tower = world.tower(BuildingTypeCannon, 510, 510);
    ASSERT_NE(tower, nullptr);
    ASSERT_EQ(cannon.instances.size(), 1u);

    const glm::vec3 pivot(-1.0f, 1.0f, -1.0f);
    EXPECT_EQ(tower->pivot(), pivot);
    EXPECT_EQ(originOf(tower->staticBody->getWorldTransform()), glm::vec3(-1.0f, 0.0f, -1.0f));
    EXPECT_EQ(originOf(tower->physicsObject->body->getWorldTransform()), glm::vec3(-1.0f, 0.0f, -1.0f));
    EXPECT_EQ(tower->aim->shotInterval.load(), 40);
    const std::vector<NavigationRequest> goals = world.grounds.navigation.takeCellValues();
    ASSERT_EQ(goals.size(), 1u);
    EXPECT_EQ(goals[0].gridPos, glm::ivec3(510, 0, 510));
    EXPECT_EQ(goals[0].value, 0.0f);

    for (const TowerSnapshot& snapshot : tower->snapshots) {
        EXPECT_EQ(originOf(snapshot.turret), pivot);
        EXPECT_EQ(originOf(snapshot.barrel), pivot);
        EXPECT_FLOAT_EQ(snapshot.turret.getRotation().w(), 1.0f);
        EXPECT_FLOAT_EQ(snapshot.barrel.getRotation().w(), 1.0f);
    }
    EXPECT_EQ(tower->base.offset, NoOffset);
    EXPECT_EQ(tower->turret.offset, NoOffset);
    EXPECT_EQ(world.pool.freeCount, world.pool.slotCount) << "spawn writes no matrix";

    const glm::mat4 start = glm::translate(glm::mat4(1.0f), pivot);
    u32 baseOffset = NoOffset;
    for (u32 slot = 0; slot < 3; slot++) {
        tower->interpolateSnapshot(slot);
        expectMatrixNear(tower->turretMatrix, start);
        expectMatrixNear(tower->barrelMatrix, start);
        if (baseOffset == NoOffset) baseOffset = tower->base.offset;
        EXPECT_EQ(tower->base.offset, baseOffset) << "the base is written once";
        expectMatrixNear(world.pool.matrixAt(tower->base.offset), start);
        expectMatrixNear(world.pool.matrixAt(tower->barrel.offset), start);
    }
    const std::vector<RenderObject> parts = tower->getRenderObjects();
    ASSERT_EQ(parts.size(), 3u);
    expectMatrixNear(parts[2].transform, start);

    world.grounds.manager->destroyAll();
    buildingTypes[BuildingTypeCannon] = &world.cannon;
}

// The snapshot turns the turret by -yaw about y and the barrel then by pitch about z,
// which carries the model's +x onto the aim direction; the frame blends the slot
// before the consumed one towards it.
TEST(TowerInstance, SnapshotsTurnTheModelOntoTheAimAndBlendBetweenSlots)
{
    TowerGrounds world;
    std::shared_ptr<TowerInstance> tower = world.tower(BuildingTypeCannon, 600, 400);
    ASSERT_NE(tower, nullptr);
    tower->aim->yaw = 2.5f;
    tower->aim->pitch = 0.4f;
    tower->storeSnapshot(1);

    tower->interpolateSnapshot(1);
    const glm::vec3 along = glm::vec3(tower->barrelMatrix * glm::vec4(1.0f, 0.0f, 0.0f, 0.0f));
    const glm::vec3 aim = aimDirection(2.5f, 0.4f);
    EXPECT_NEAR(along.x, aim.x, 1e-5f);
    EXPECT_NEAR(along.y, aim.y, 1e-5f);
    EXPECT_NEAR(along.z, aim.z, 1e-5f);
    const glm::vec3 turretAlong = glm::vec3(tower->turretMatrix * glm::vec4(1.0f, 0.0f, 0.0f, 0.0f));
    EXPECT_NEAR(turretAlong.x, std::cos(2.5f), 1e-5f);
    EXPECT_NEAR(turretAlong.y, 0.0f, 1e-6f);
    EXPECT_NEAR(turretAlong.z, std::sin(2.5f), 1e-5f);

    // Slot 2 blends from slot 1 (the turned pose) towards slot 2 (still the start):
    // with no logic thread the blend is the newer slot.
    tower->interpolateSnapshot(2);
    expectMatrixNear(tower->barrelMatrix, glm::translate(glm::mat4(1.0f), tower->pivot()));
}

// An upgrade raises level and health and applies the new level's interval; at the last
// level it changes nothing but applies that level's interval again.
TEST(TowerInstance, UpgradeAppliesTheLevelsInterval)
{
    TowerGrounds world;
    std::shared_ptr<TowerInstance> mortar = world.tower(BuildingTypeMortar, 300, 300);
    ASSERT_NE(mortar, nullptr);
    EXPECT_EQ(mortar->aim->shotInterval.load(), 150);
    EXPECT_FALSE(mortar->aim->settings.shootFlat);
    mortar->upgrade();
    EXPECT_EQ(mortar->level.load(), 1u);
    EXPECT_EQ(mortar->health.load(), 700);
    EXPECT_EQ(mortar->aim->shotInterval.load(), 130);
    mortar->upgrade();
    EXPECT_EQ(mortar->aim->shotInterval.load(), 110);
    mortar->aim->shotInterval = 5;
    mortar->health = 17;
    mortar->upgrade();
    EXPECT_EQ(mortar->level.load(), 2u);
    EXPECT_EQ(mortar->health.load(), 17);
    EXPECT_EQ(mortar->aim->shotInterval.load(), 110);
    EXPECT_EQ(mortar->damageAt(mortar->level.load()), 320);
}

// A cannon turns to an enemy in reach and fires every level-interval ticks along the
// ballistic solution: balls start at the pivot with the muzzle speed and live 5 s.
// A sold tower lets go of its target at once and fires nothing more.
TEST(TowerInstance, FiresAtTheIntervalAndASoldTowerLetsGoOfItsTarget)
{
    TowerGrounds world;
    TestEnemies enemies;
    world.manager().context.enemies = enemies.view();
    std::shared_ptr<TowerInstance> cannon = world.tower(BuildingTypeCannon, 510, 510);
    ASSERT_NE(cannon, nullptr);
    std::shared_ptr<EnemyInstance> enemy = enemies.add({-1.0f, 1.0f, 19.0f});

    std::vector<i32> shotTicks;
    for (i32 tick = 1; tick <= 130; tick++) {
        const size_t before = world.shots.cannonBall.count();
        cannon->update();
        if (world.shots.cannonBall.count() > before) shotTicks.push_back(tick);
    }
    ASSERT_GE(shotTicks.size(), 3u);
    EXPECT_EQ(shotTicks[1] - shotTicks[0], 40);
    EXPECT_EQ(shotTicks[2] - shotTicks[1], 40);
    ASSERT_EQ(cannon->aim->target, enemy);

    auto ball = std::static_pointer_cast<PtCannonBallInstance>(world.shots.cannonBall.instances.back());
    EXPECT_EQ(ball->damage, 35);
    EXPECT_EQ(ball->lifetimeTicks, 299);
    const btVector3 velocity = ball->physicsObject->body->getLinearVelocity();
    const glm::vec3 solution = aimDirection(cannon->aim->desiredYaw, cannon->aim->desiredPitch) * 50.0f;
    EXPECT_NEAR(velocity.x(), solution.x, 1e-4f);
    EXPECT_NEAR(velocity.y(), solution.y, 1e-4f);
    EXPECT_NEAR(velocity.z(), solution.z, 1e-4f);
    EXPECT_EQ(originOf(ball->physicsObject->body->getWorldTransform()), cannon->pivot());

    const long holders = enemy.use_count();
    cannon->requestDestroy();
    const size_t shots = world.shots.cannonBall.count();
    cannon->update();
    EXPECT_TRUE(cannon->destroyed);
    EXPECT_EQ(cannon->aim->target, nullptr);
    EXPECT_EQ(enemy.use_count(), holders - 1);
    for (int tick = 0; tick < 100; tick++) world.manager().update(1);
    EXPECT_EQ(world.shots.cannonBall.count(), shots);
}

// A mortar lobs bombs of the bomb kind (no cannonballs) from its pivot along the
// solution at its muzzle speed, each carrying a blast radius of 10 and the damage of
// the tower's level at the moment it fires.
TEST(TowerInstance, AMortarFiresBombsWithBlastRadiusTenAndTheLevelsDamage)
{
    TowerGrounds world;
    TestEnemies enemies;
    world.manager().context.enemies = enemies.view();
    std::shared_ptr<TowerInstance> mortar = world.tower(BuildingTypeMortar, 510, 510);
    ASSERT_NE(mortar, nullptr);
    enemies.add({-1.0f, 1.0f, 24.0f});

    auto fireOnce = [&] {
        for (i32 tick = 0; tick < 400; tick++) {
            const size_t before = world.shots.bomb.count();
            mortar->update();
            if (world.shots.bomb.count() > before) return true;
        }
        return false;
    };
    ASSERT_TRUE(fireOnce());
    EXPECT_EQ(world.shots.cannonBall.count(), 0u) << "a mortar fires no cannonballs";
    ASSERT_EQ(world.shots.bomb.count(), 1u);
    auto bomb = std::dynamic_pointer_cast<PtBombInstance>(world.shots.bomb.instances.back());
    ASSERT_NE(bomb, nullptr);
    EXPECT_EQ(bomb->typeIndex, ProjectileRules::BombType);
    EXPECT_EQ(bomb->blastRadius, 10.0f);
    EXPECT_EQ(bomb->damage, 150);
    EXPECT_EQ(bomb->fuse, 1199);
    EXPECT_EQ(originOf(bomb->physicsObject->body->getWorldTransform()), mortar->pivot());
    const btVector3 velocity = bomb->physicsObject->body->getLinearVelocity();
    const glm::vec3 solution = aimDirection(mortar->aim->desiredYaw, mortar->aim->desiredPitch) * 45.0f;
    EXPECT_NEAR(velocity.x(), solution.x, 1e-4f);
    EXPECT_NEAR(velocity.y(), solution.y, 1e-4f);
    EXPECT_NEAR(velocity.z(), solution.z, 1e-4f);
    EXPECT_GT(velocity.y(), 0.0f) << "a lob";

    // Upgraded, the next bomb carries the new level's damage.
    mortar->upgrade();
    ASSERT_TRUE(fireOnce());
    ASSERT_EQ(world.shots.bomb.count(), 2u);
    bomb = std::dynamic_pointer_cast<PtBombInstance>(world.shots.bomb.instances.back());
    ASSERT_NE(bomb, nullptr);
    EXPECT_EQ(bomb->damage, 220);
    EXPECT_EQ(bomb->blastRadius, 10.0f);
}

// An upgrade between two ticks applies the new level's interval from the next tick:
// the shot after it follows the last one by the new interval, not the old one, and an
// upgrade that comes when the new interval has already passed fires at the next tick.
TEST(TowerInstance, AfterAnUpgradeTheNewIntervalSpacesTheShots)
{
    TowerGrounds world;
    TestEnemies enemies;
    world.manager().context.enemies = enemies.view();
    std::shared_ptr<TowerInstance> cannon = world.tower(BuildingTypeCannon, 510, 510);
    ASSERT_NE(cannon, nullptr);
    enemies.add({-1.0f, 1.0f, 19.0f});

    i32 tick = 0;
    auto nextShot = [&] {
        for (i32 waited = 0; waited < 200; waited++) {
            tick++;
            const size_t before = world.shots.cannonBall.count();
            cannon->update();
            if (world.shots.cannonBall.count() > before) return tick;
        }
        return -1;
    };
    const i32 first = nextShot();
    ASSERT_GT(first, 0);
    const i32 second = nextShot();
    EXPECT_EQ(second - first, 40) << "level 0";

    // 10 ticks after a shot, the upgrade to level 1 (interval 32).
    for (i32 i = 0; i < 10; i++) {
        tick++;
        cannon->update();
    }
    cannon->upgrade();
    const i32 third = nextShot();
    EXPECT_EQ(third - second, 32);
    const i32 fourth = nextShot();
    EXPECT_EQ(fourth - third, 32);

    // 30 ticks after a shot (more than level 2's 24), the upgrade: the next tick fires.
    for (i32 i = 0; i < 30; i++) {
        tick++;
        cannon->update();
    }
    ASSERT_EQ(world.shots.cannonBall.count(), 4u);
    cannon->upgrade();
    EXPECT_EQ(nextShot(), fourth + 31);
    const i32 sixth = nextShot();
    EXPECT_EQ(sixth - (fourth + 31), 24);
}
