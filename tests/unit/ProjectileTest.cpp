#include "EnemyTestSupport.h"
#include "TargetEnemies.h"
#include "TowerTestSupport.h"

#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Physics/Registry.h"
#include "Game/Enemies/Enemy.h"
#include "Game/Enemies/EnemyInstance.h"
#include "Game/Projectiles/PtBombInstance.h"
#include "Game/Projectiles/PtCannonBallInstance.h"

#include <btBulletDynamicsCommon.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

bool inList(const std::vector<PhysicsObject*>& list, PhysicsObject* object)
{
    std::lock_guard lock(registryMutex);
    return std::find(list.begin(), list.end(), object) != list.end();
}

// What the simulation thread would have left: every body handed over is deleted.
void releaseBodies()
{
    PhysicsWorld engineWorld;
    engineWorld.init(EngineWorldGravity);
    Simulation::releaseRemaining(engineWorld);
}

void moveBody(PhysicsObject* object, const glm::vec3& to)
{
    btTransform transform = object->body->getWorldTransform();
    transform.setOrigin(btVector3(to.x, to.y, to.z));
    object->body->setWorldTransform(transform);
}

} // namespace

// A 5 s cannonball lives 299 ticks and goes on the 300th: out of its list first, then
// its body is handed to the simulation thread. Its body starts where it was fired,
// with the muzzle velocity, in the projectile group, reporting enemies.
TEST(CannonBall, LivesItsLifetimeInTicksThenLeavesListAndWorld)
{
    TestShotKinds kinds;
    const i32 liveBefore = liveProjectileCount.load();
    {
        std::shared_ptr<PtCannonBallInstance> ball =
            PtCannonBallInstance::create({1, 2, 3}, {50, 0, 0}, 35, ProjectileRules::CannonBallLifetimeSeconds);
        EXPECT_EQ(liveProjectileCount.load(), liveBefore + 1);
        EXPECT_EQ(ball->lifetimeTicks, 299);
        ASSERT_EQ(kinds.cannonBall.count(), 1u);
        PhysicsObject* body = ball->physicsObject;
        ASSERT_NE(body, nullptr);
        EXPECT_TRUE(inList(Registry::pendingAdd, body));
        EXPECT_EQ(body->body->getLinearVelocity().x(), 50.0f);
        EXPECT_EQ(body->body->getWorldTransform().getOrigin().y(), 2.0f);
        EXPECT_EQ(body->group, 128);
        EXPECT_EQ(body->mask & 512, 0) << "projectiles pass through buildings";
        EXPECT_EQ(body->reference->type, 128u);
        EXPECT_EQ(body->reference->mask, 256u);
        EXPECT_FLOAT_EQ(body->reference->contactThreshold, 0.2f);

        for (int tick = 0; tick < 299; tick++) kinds.cannonBall.tickAll();
        EXPECT_EQ(kinds.cannonBall.count(), 1u);
        EXPECT_FALSE(inList(Registry::pendingRemove, body));
        kinds.cannonBall.tickAll();
        EXPECT_EQ(kinds.cannonBall.count(), 0u);
        EXPECT_TRUE(ball->removed);
        EXPECT_TRUE(inList(Registry::pendingRemove, body));
        ball->remove(); // a second removal asks nothing more
    }
    releaseBodies();
    EXPECT_EQ(liveProjectileCount.load(), liveBefore);
}

// A cannonball that touches two enemies damages only the first; the contact only
// lowers health (a kill marks the enemy for its own update, which pays), and repeated
// contacts of the same manifold do nothing more.
TEST(CannonBall, DamagesOnlyTheFirstEnemyItTouches)
{
    TestShotKinds kinds;
    TestEnemies enemies;
    std::shared_ptr<EnemyInstance> first = enemies.add({0, 1, 0});
    std::shared_ptr<EnemyInstance> second = enemies.add({0, 1, 1});
    std::shared_ptr<PtCannonBallInstance> ball = PtCannonBallInstance::create({0, 1, -1}, {0, 0, 50}, 35, 5.0f);
    PhysicsReference* own = ball->physicsObject->reference;
    own->onCollision(enemies.referenceOf(*first));
    own->onCollision(enemies.referenceOf(*first));
    own->onCollision(enemies.referenceOf(*second));
    EXPECT_EQ(first->health.load(), 65);
    EXPECT_EQ(second->health.load(), 100);
    EXPECT_FALSE(first->destroyed) << "destroyed by its own update, not by the contact";

    std::shared_ptr<PtCannonBallInstance> heavy = PtCannonBallInstance::create({0, 1, -1}, {0, 0, 50}, 500, 5.0f);
    heavy->physicsObject->reference->onCollision(enemies.referenceOf(*second));
    EXPECT_EQ(second->health.load(), 0);
    EXPECT_FALSE(second->alive()) << "killed: marked for its update";
    kinds.cannonBall.removeAll();
    releaseBodies();
}

// A bomb bursts where it first touched: the point is written once by the simulation
// thread's contact and kept through later contacts; at the next logic tick the blast
// damages, pushes and stuns the enemies within its radius, leaves 50 puffs and the
// bomb goes.
TEST(Bomb, BurstsOnceWhereItFirstTouched)
{
    TowerGrounds world; // the global random source for the smoke ring
    TestEnemies enemies;
    std::shared_ptr<EnemyInstance> near = enemies.add({13, 0, 20});
    std::shared_ptr<EnemyInstance> far = enemies.add({30, 0, 20});
    std::shared_ptr<PtBombInstance> bomb = PtBombInstance::create({0, 20, 0}, {10, 5, 10}, 150, 10.0f);
    EXPECT_EQ(bomb->fuse, 1199);
    EXPECT_EQ(bomb->physicsObject->reference->mask, 320u);

    bomb->tick();
    EXPECT_EQ(world.shots.bomb.count(), 1u) << "nothing touched yet";
    moveBody(bomb->physicsObject, {10, 0, 20});
    bomb->physicsObject->reference->onCollision(nullptr);
    moveBody(bomb->physicsObject, {11, 0, 20});
    bomb->physicsObject->reference->onCollision(nullptr);
    EXPECT_TRUE(bomb->exploded);
    EXPECT_EQ(bomb->explosionPoint, glm::vec3(10, 0, 20));

    bomb->tick();
    EXPECT_TRUE(bomb->removed);
    EXPECT_EQ(world.shots.bomb.count(), 0u);
    // 3 units away: f = 0.7, 105 damage, pushed along +x, stunned 84 ticks.
    EXPECT_EQ(near->health.load(), 0);
    EXPECT_NEAR(near->pendingForce.load().x, 0.7f * 4000.0f, 0.5f);
    EXPECT_NEAR(near->stun.load(), 84.0f, 1e-3f);
    EXPECT_EQ(far->health.load(), 100);
    EXPECT_EQ(far->pendingForce.load(), glm::vec3(0.0f));
    EXPECT_EQ(world.shots.smoke.count(), 50u);
    bomb->tick(); // a removed bomb does nothing
    EXPECT_EQ(world.shots.smoke.count(), 50u);
}

// A bomb that touches nothing bursts when its fuse has run out: the logic thread asks,
// the simulation thread records the body's position before its next step, and the
// next tick bursts there.
TEST(Bomb, FuseRunsOutAfter1199Ticks)
{
    TowerGrounds world;
    std::shared_ptr<PtBombInstance> bomb = PtBombInstance::create({0, 50, 0}, {0, 0, 0}, 150, 10.0f);
    ASSERT_TRUE(bomb->physicsObject->preStep);
    for (int tick = 0; tick < 1199; tick++) bomb->tick();
    EXPECT_FALSE(bomb->fuseOut);
    bomb->physicsObject->preStep();
    EXPECT_FALSE(bomb->exploded);
    bomb->tick();
    EXPECT_TRUE(bomb->fuseOut);
    moveBody(bomb->physicsObject, {4, 7, 9});
    bomb->physicsObject->preStep();
    ASSERT_TRUE(bomb->exploded);
    EXPECT_EQ(bomb->explosionPoint, glm::vec3(4, 7, 9));
    bomb->tick();
    EXPECT_TRUE(bomb->removed);
    EXPECT_EQ(world.shots.smoke.count(), 50u);
}

// A blast reaches heavy enemies as it reaches normal ones: damage x f, a push of
// f x 4000 away from the centre and stun by the same rule, whatever their mass. Two
// bursts in one tick over a heavy enemy they kill pay its reward once; a later blast
// leaves the dead alone.
TEST(Bomb, BlastsDamagePushAndStunHeavyEnemiesAndAKillPaysOnce)
{
    TowerGrounds world; // the shot kinds and the random source for the smoke rings
    EnemyGrounds grounds;
    const glm::vec3 centre = grounds.origin() + glm::vec3(40.0f, 2.0f, 40.0f);
    // f = 0.75, 0.5 and 0.25: fractions exact in binary.
    std::shared_ptr<EnemyInstance> heavyNear = grounds.spawn(centre + glm::vec3(2.5f, 0.0f, 0.0f), true);
    std::shared_ptr<EnemyInstance> heavyFar = grounds.spawn(centre + glm::vec3(0.0f, 0.0f, -5.0f), true);
    std::shared_ptr<EnemyInstance> normal = grounds.spawn(centre + glm::vec3(0.0f, 0.0f, 7.5f));
    const i32 moneyBefore = grounds.money();

    auto burstAt = [&](i32 damage) {
        std::shared_ptr<PtBombInstance> bomb = PtBombInstance::create(centre + glm::vec3(0, 10, 0), {}, damage, 10.0f);
        moveBody(bomb->physicsObject, centre);
        bomb->physicsObject->reference->onCollision(nullptr);
        bomb->tick();
        ASSERT_TRUE(bomb->removed);
    };
    burstAt(150);
    EXPECT_EQ(heavyNear->health.load(), 2500 - 112);
    EXPECT_NEAR(heavyNear->pendingForce.load().x, 3000.0f, 1e-2f);
    EXPECT_NEAR(heavyNear->stun.load(), 90.0f, 1e-4f);
    EXPECT_EQ(heavyFar->health.load(), 2500 - 75);
    EXPECT_NEAR(heavyFar->pendingForce.load().z, -2000.0f, 1e-2f);
    EXPECT_NEAR(heavyFar->stun.load(), 60.0f, 1e-4f);
    EXPECT_EQ(normal->health.load(), 100 - 37);
    EXPECT_NEAR(normal->pendingForce.load().z, 1000.0f, 1e-2f);
    EXPECT_NEAR(normal->stun.load(), 30.0f, 1e-4f);

    // A second, heavier burst kills all three; a stunned enemy gets less stun.
    burstAt(5000);
    EXPECT_EQ(heavyNear->health.load(), 0);
    EXPECT_EQ(heavyFar->health.load(), 0);
    EXPECT_EQ(normal->health.load(), 0);
    EXPECT_NEAR(heavyNear->stun.load(), 90.0f + 30.0f / 120.0f * 120.0f * 0.75f, 1e-4f);
    EXPECT_NEAR(heavyNear->pendingForce.load().x, 6000.0f, 1e-2f);

    // A third in the same tick leaves the dead alone.
    burstAt(5000);
    EXPECT_NEAR(heavyNear->stun.load(), 112.5f, 1e-4f);
    EXPECT_NEAR(heavyNear->pendingForce.load().x, 6000.0f, 1e-2f);

    for (const auto& enemy : {heavyNear, heavyFar, normal}) enemy->update();
    EXPECT_TRUE(heavyNear->destroyed.load());
    EXPECT_EQ(grounds.money(), moneyBefore + 2500 + 2500 + 200);
    for (const auto& enemy : {heavyNear, heavyFar, normal}) {
        enemy->update();
        enemy->destroy();
    }
    EXPECT_EQ(grounds.money(), moneyBefore + 2500 + 2500 + 200) << "each reward once";
    EXPECT_TRUE(grounds.kinds.heavy->instances.empty());
}
