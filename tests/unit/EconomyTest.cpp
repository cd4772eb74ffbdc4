#include "BuildingTestSupport.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Physics/CollisionType.h"
#include "Game/Session/Economy.h"
#include "Game/Session/SessionRules.h"
#include "Game/Tools/Picker.h"

#include <btBulletDynamicsCommon.h>
#include <gtest/gtest.h>

#include <limits>

namespace {

// A spawned building of `kind` at `gridPos`.
std::shared_ptr<BuildingInstance> standing(BuildingGrounds& grounds, u32 kind, glm::ivec3 gridPos)
{
    std::shared_ptr<BuildingInstance> building = grounds.place(kind, gridPos);
    grounds.manager->update(0);
    return building;
}

} // namespace

TEST(Economy, PricesOfSalesAndRepairs)
{
    // A damaged building worth 250 sells for 200 and repairs for 50.
    EXPECT_EQ(saleRefund(250, true), 200);
    EXPECT_EQ(saleRefund(250, false), 250);
    EXPECT_EQ(repairCost(250), 50);
    EXPECT_EQ(saleRefund(99, true), 80) << "value less trunc(value x 0.2)";
    EXPECT_EQ(repairCost(99), 19);
    EXPECT_EQ(killReward(0), 200);
    EXPECT_EQ(killReward(1), 2500);
}

TEST(Economy, SellPaysOnceAndNeverForTheCastle)
{
    BuildingGrounds grounds;
    std::atomic<i32>& money = *grounds.session.money;
    std::shared_ptr<BuildingInstance> wall = standing(grounds, BuildingTypeWall, {10, 0, 10});
    std::shared_ptr<BuildingInstance> castle = standing(grounds, BuildingTypeCastle, {508, 0, 508});

    // Walls cost 100, 150 and 250: at level 1 the value is 250, damaged it sells for 200.
    wall->upgrade();
    wall->health = 10;
    EXPECT_EQ(Economy::value(*wall), 250);
    EXPECT_TRUE(Economy::sell(*wall, money));
    EXPECT_EQ(money.load(), 5200);
    EXPECT_TRUE(wall->destroyPending.load());
    // A second click before the next tick pays nothing.
    EXPECT_FALSE(Economy::sell(*wall, money));
    EXPECT_EQ(money.load(), 5200);
    // Repair and upgrade refuse a building that is going.
    EXPECT_FALSE(Economy::repair(*wall, money, false));
    EXPECT_FALSE(Economy::upgrade(*wall, money, true));
    EXPECT_EQ(money.load(), 5200);
    grounds.manager->update(0); // destroyed even while paused
    EXPECT_TRUE(wall->destroyed.load());
    EXPECT_FALSE(Economy::sell(*wall, money));

    EXPECT_FALSE(Economy::sell(*castle, money)) << "the castle is not for sale";
    EXPECT_FALSE(castle->destroyPending.load());

    // A building brought to 0 by an enemy is not sold either.
    std::shared_ptr<BuildingInstance> other = standing(grounds, BuildingTypeWall, {20, 0, 10});
    other->applyDamage(1000);
    EXPECT_FALSE(Economy::sell(*other, money));
    EXPECT_EQ(money.load(), 5200);
}

TEST(Economy, RepairAndUpgradeRules)
{
    BuildingGrounds grounds;
    std::atomic<i32>& money = *grounds.session.money;
    std::shared_ptr<BuildingInstance> wall = standing(grounds, BuildingTypeWall, {10, 0, 10});

    // Full health: nothing.
    EXPECT_FALSE(Economy::repair(*wall, money, false));
    // Damaged: a fifth of the value (100 -> 20), whatever the damage.
    wall->health = 299;
    EXPECT_TRUE(Economy::repair(*wall, money, false));
    EXPECT_EQ(wall->health.load(), 300);
    EXPECT_EQ(money.load(), 4980);
    // Too little money: nothing; with cheats: free.
    wall->health = 1;
    money = 19;
    EXPECT_FALSE(Economy::repair(*wall, money, false));
    EXPECT_EQ(wall->health.load(), 1);
    EXPECT_TRUE(Economy::repair(*wall, money, true));
    EXPECT_EQ(wall->health.load(), 300);
    EXPECT_EQ(money.load(), 19);

    // Upgrade: the next level's cost (150), not the difference of values.
    money = 149;
    EXPECT_FALSE(Economy::upgrade(*wall, money, false));
    EXPECT_EQ(wall->level.load(), 0u);
    money = 150;
    EXPECT_TRUE(Economy::upgrade(*wall, money, false));
    EXPECT_EQ(wall->level.load(), 1u);
    EXPECT_EQ(wall->health.load(), 600);
    EXPECT_EQ(money.load(), 0);
    EXPECT_TRUE(Economy::upgrade(*wall, money, true)) << "cheats pay for it";
    EXPECT_EQ(wall->level.load(), 2u);
    EXPECT_EQ(money.load(), 0);
    EXPECT_FALSE(Economy::upgrade(*wall, money, true)) << "the last level";
    EXPECT_EQ(wall->level.load(), 2u);

    // Money below 0 (a debt) affords nothing: prices and money compare as signed
    // 64-bit numbers.
    money = -5;
    wall->health = 1;
    EXPECT_FALSE(Economy::affordable(1, money, false));
    EXPECT_FALSE(Economy::repair(*wall, money, false));
    money = std::numeric_limits<i32>::max();
    EXPECT_TRUE(Economy::affordable(std::numeric_limits<i32>::max(), money, false));
    EXPECT_FALSE(Economy::affordable(i64{std::numeric_limits<i32>::max()} + 1, money, false));
}

// The castle cannot be sold, but it is repaired as any building: back to its level's
// full health for a fifth of its value (2500 -> 500), directly or through the cursor.
TEST(Economy, TheCastleIsRepairedLikeAnyBuilding)
{
    BuildingGrounds grounds;
    std::atomic<i32>& money = *grounds.session.money;
    std::shared_ptr<BuildingInstance> castle = standing(grounds, BuildingTypeCastle, {508, 0, 508});
    castle->health = 1200;
    EXPECT_TRUE(Economy::repair(*castle, money, false));
    EXPECT_EQ(castle->health.load(), 5000);
    EXPECT_EQ(money.load(), 4500);

    Camera camera;
    camera.setPerspective(60.0f, 1.0f, 0.5f, 1000.0f);
    camera.position = castle->footprintCentre() + glm::vec3(0.0f, 30.0f, 0.0f);
    camera.forward = glm::vec3(0.0f, -1.0f, 0.0f);
    camera.updateView();
    const CursorView view{&camera, {50, 50}, {100, 100}};
    castle->health = 1;
    ASSERT_TRUE(Economy::repairAt(*grounds.manager, view, false));
    EXPECT_EQ(castle->health.load(), 5000);
    EXPECT_EQ(money.load(), 4000);
    EXPECT_FALSE(Economy::sellAt(*grounds.manager, view));
}

TEST(Economy, ActionsAtTheCursorPickTheBuildingUnlessTerrainHidesIt)
{
    BuildingGrounds grounds;
    std::atomic<i32>& money = *grounds.session.money;
    std::shared_ptr<BuildingInstance> wall = standing(grounds, BuildingTypeWall, {510, 0, 500});
    wall->health = 100;

    // A camera 30 units above the wall's centre, looking straight down.
    Camera camera;
    camera.setPerspective(60.0f, 1.0f, 0.5f, 1000.0f);
    const glm::vec3 centre = wall->footprintCentre();
    camera.position = centre + glm::vec3(0.0f, 30.0f, 0.0f);
    camera.forward = glm::vec3(0.0f, -1.0f, 0.0f);
    camera.updateView();
    CursorView view{&camera, {50, 50}, {100, 100}};

    // Outside the window nothing happens, though the ray would hit the wall.
    CursorView outside = view;
    outside.cursor = {100, 50};
    EXPECT_FALSE(Picker::cursorInside(outside));
    EXPECT_FALSE(Economy::repairAt(*grounds.manager, outside, false));

    // Through the cursor: the wall is repaired (20), then upgraded (150), then sold.
    ASSERT_TRUE(Economy::repairAt(*grounds.manager, view, false));
    EXPECT_EQ(money.load(), 4980);
    ASSERT_TRUE(Economy::upgradeAt(*grounds.manager, view, false));
    EXPECT_EQ(money.load(), 4830);
    ASSERT_TRUE(Economy::sellAt(*grounds.manager, view));
    EXPECT_EQ(money.load(), 4830 + 250);
    EXPECT_FALSE(Economy::sellAt(*grounds.manager, view)) << "sold once";

    // A slab of terrain between the camera and a second wall hides it.
    std::shared_ptr<BuildingInstance> hidden = standing(grounds, BuildingTypeWall, {530, 0, 500});
    btBoxShape slab(btVector3(5.0f, 0.1f, 5.0f));
    btCollisionObject roof;
    roof.setCollisionShape(&slab);
    const glm::vec3 hiddenCentre = hidden->footprintCentre();
    roof.getWorldTransform().setOrigin(btVector3(hiddenCentre.x, 10.0f, hiddenCentre.z));
    grounds.queryWorld.world->addCollisionObject(&roof, CollisionTerrain, -1);
    camera.position = hiddenCentre + glm::vec3(0.0f, 30.0f, 0.0f);
    camera.updateView();
    EXPECT_FALSE(Economy::sellAt(*grounds.manager, view));
    EXPECT_FALSE(hidden->destroyPending.load());
    grounds.queryWorld.world->removeCollisionObject(&roof);
    EXPECT_TRUE(Economy::sellAt(*grounds.manager, view));
}

TEST(Picker, FootprintsCentreOnTheCursor)
{
    const glm::vec3 origin(-512.0f, 0.0f, -512.0f);
    // A 3 x 3 footprint under a cursor at grid x 10.7 has its corner at 9.
    EXPECT_EQ(Picker::footprintCorner(origin + glm::vec3(10.7f, 0.0f, 20.2f), origin, 3, 3), glm::ivec2(9, 19));
    EXPECT_EQ(Picker::footprintCorner(origin + glm::vec3(10.7f, 0.0f, 20.2f), origin, 1, 1), glm::ivec2(10, 20));
    EXPECT_EQ(Picker::footprintCorner(origin + glm::vec3(10.0f, 0.0f, 20.0f), origin, 2, 2), glm::ivec2(9, 19));
    for (const glm::ivec2 cursor : {glm::ivec2(-1, 0), glm::ivec2(0, -1), glm::ivec2(640, 0), glm::ivec2(0, 360)}) {
        EXPECT_FALSE(Picker::cursorInside({nullptr, cursor, {640, 360}}));
    }
    EXPECT_TRUE(Picker::cursorInside({nullptr, {639, 359}, {640, 360}}));
}
