#include "OffscreenWorld.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Particles/PcSmoke.h"
#include "Game/Projectiles/Blast.h"
#include "Game/Projectiles/PtBombInstance.h"
#include "Game/Projectiles/PtCannonBallInstance.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Tools/BuildTool.h"
#include "Game/Tools/ToolRules.h"
#include "Game/Towers/TowerInstance.h"
#include "Game/Towers/TurretAim.h"

namespace {

// The tower kinds with their models, both projectile kinds and the smoke kind: a
// cannon and a mortar turned towards the camera's right, a cannonball and a bomb in
// the air, a ring of smoke, under a low sun.
OffscreenScene shotScene()
{
    OffscreenScene scene;
    scene.height = 108;
    scene.sunDirection = {-0.5f, 0.45f, -0.6f};
    scene.origin = {-32.0f, 0.0f, -32.0f};
    scene.shots = true;
    return scene;
}

class ShotDrawGpuTest : public OffscreenWorldTest {
protected:
    ShotDrawGpuTest() : OffscreenWorldTest(shotScene()) {}

    void SetUp() override
    {
        OffscreenWorldTest::SetUp();
        if (HasFatalFailure()) return;
        lookAt({0.0f, 6.0f, 18.0f}, {0.0f, 2.0f, 0.0f});
        // Footprints of 2 x 2 cells: the cannon's pivot at (-4, 1, 0), the mortar's at (4, 1, 0).
        cannon = std::static_pointer_cast<TowerInstance>(buildingTypes[BuildingTypeCannon]->createInstance({27, 0, 31}, 0));
        mortar = std::static_pointer_cast<TowerInstance>(buildingTypes[BuildingTypeMortar]->createInstance({35, 0, 31}, 0));
        ASSERT_TRUE(manager->place(cannon));
        ASSERT_TRUE(manager->place(mortar));
        manager->update(0);
    }

    void TearDown() override
    {
        cannon = mortar = nullptr;
        OffscreenWorldTest::TearDown();
    }

    std::shared_ptr<TowerInstance> cannon, mortar;
};

f32 difference(glm::vec3 a, glm::vec3 b)
{
    return glm::length(a - b);
}

} // namespace

// The towers' parts stand where their snapshots put them: a barrel turned towards the
// camera shows where an unturned one showed nothing; the base is written once and the
// moving parts each frame, and slots come back when a tower goes.
TEST_F(ShotDrawGpuTest, TowersDrawTheirPartsFromTheSnapshots)
{
    const u32 freeBefore = instanceStorage->freeCount;
    const std::vector<u8> start = drawFrame();
    keepShot(start, "BRACKENHOLD_SHOT_PICTURE", "-start");
    EXPECT_EQ(instanceStorage->freeCount, freeBefore - 6) << "base, turret and barrel of two towers";
    const u32 cannonBase = cannon->base.offset;
    ASSERT_NE(cannonBase, NoOffset);

    // The cannon's barrel swung from +x to point at the camera (+z), raised a little.
    cannon->aim->yaw = 1.5707964f;
    cannon->aim->pitch = 0.3f;
    cannon->storeSnapshot(1);
    const std::vector<u8> turned = drawFrame(1);
    keepShot(turned, "BRACKENHOLD_SHOT_PICTURE", "-turned");
    EXPECT_EQ(cannon->base.offset, cannonBase);
    // The muzzle end of the barrel, in front of the pivot towards the camera.
    const glm::ivec2 muzzle = screenOf(cannon->pivot() + aimDirection(1.5707964f, 0.3f) * 1.2f);
    EXPECT_GT(difference(colorAt(start, muzzle), colorAt(turned, muzzle)), 0.05f);
    // The mortar did not move.
    const glm::ivec2 mortarTop = screenOf(mortar->pivot() + glm::vec3(0.0f, 0.5f, 0.0f));
    EXPECT_LT(difference(colorAt(start, mortarTop), colorAt(turned, mortarTop)), 0.02f);

    cannon->requestDestroy();
    manager->update(1);
    drawFrame(1);
    drawFrame(1);
    EXPECT_EQ(instanceStorage->freeCount, freeBefore - 3) << "the gone cannon's three slots are back";
    EXPECT_TRUE(validationErrors().empty());
}

// A cannonball and a bomb in the air are dark spheres; a smoke ring is a pale,
// translucent haze that lets the scene through; smoke is drawn only once snapshotted.
TEST_F(ShotDrawGpuTest, ProjectilesAndSmokeDraw)
{
    const std::vector<u8> empty = drawFrame();
    const glm::vec3 ballAt(-1.5f, 3.0f, 4.0f);
    const glm::vec3 bombAt(1.5f, 3.0f, 4.0f);
    PtCannonBallInstance::create(ballAt, {0, 0, 0}, 35, 5.0f);
    PtBombInstance::create(bombAt, {0, 0, 0}, 150, 10.0f);
    const u64 drawnBefore = Engine::graphicsDevice->drawnInstances;
    const std::vector<u8> shots = drawFrame();
    keepShot(shots, "BRACKENHOLD_SHOT_PICTURE", "-shots");
    // Two instanced draws of one sphere each in the main pass and each of 4 cascades
    // (at most: a cascade may not reach them), and the towers' parts.
    EXPECT_GT(Engine::graphicsDevice->drawnInstances, drawnBefore);
    for (const glm::vec3& at : {ballAt, bombAt}) {
        const glm::vec3 c = colorAt(shots, screenOf(at));
        EXPECT_LT((c.r + c.g + c.b) / 3.0f, 0.35f) << "dark iron";
        EXPECT_GT(difference(c, colorAt(empty, screenOf(at))), 0.05f);
    }

    const glm::vec3 centre(0.0f, 1.5f, 6.0f);
    for (i32 i = 0; i < 50; i++) PcSmokeInstance::create(smokeRingPuff(centre, i, 0.5f, 0.5f));
    const std::vector<u8> unsettled = drawFrame();
    const glm::ivec2 puffPixel = screenOf(centre + glm::vec3(1.0f, 0.0f, 0.0f));
    EXPECT_LT(difference(colorAt(unsettled, puffPixel), colorAt(shots, puffPixel)), 0.01f) << "not yet snapshotted";
    smokeType->storeSnapshots(0);
    const std::vector<u8> smoke = drawFrame();
    keepShot(smoke, "BRACKENHOLD_SHOT_PICTURE", "-smoke");
    const glm::vec3 hazy = colorAt(smoke, puffPixel);
    EXPECT_GT(difference(hazy, colorAt(shots, puffPixel)), 0.05f) << "the puff shows";
    EXPECT_GT((hazy.r + hazy.g + hazy.b) / 3.0f, 0.3f) << "pale";
    EXPECT_TRUE(validationErrors().empty());
}

// A tool's ghost stands in for the tower under it: the tower's own next draw call, in
// whichever pass comes first, is left out once; the flag is then clear.
TEST_F(ShotDrawGpuTest, ATowersOwnNextDrawIsLeftOutUnderItsGhost)
{
    const glm::ivec2 base = screenOf(cannon->pivot() - glm::vec3(0.0f, 0.6f, 0.0f));
    const glm::ivec2 mortarBase = screenOf(mortar->pivot() - glm::vec3(0.0f, 0.6f, 0.0f));
    drawFrame(); // writes the cascades' block that the main pass reads
    const std::vector<u8> standing = drawMainPass();
    const glm::vec3 tower = colorAt(standing, base);
    ASSERT_GT(difference(tower, glm::vec3(0.0f)), 0.05f) << "the cannon's base shows";

    // Only the main pass draws: the cannon is gone from it, the mortar stays.
    cannon->skipNextDraw = true;
    const std::vector<u8> skipped = drawMainPass();
    EXPECT_FALSE(cannon->skipNextDraw);
    EXPECT_LT(difference(colorAt(skipped, base), glm::vec3(0.0f)), 0.01f) << "the clear colour where it stood";
    EXPECT_EQ(colorAt(skipped, mortarBase), colorAt(standing, mortarBase));
    EXPECT_EQ(colorAt(drawMainPass(), base), tower) << "one draw only";

    // Under a red ghost of its own parts the ghost shows alone.
    ghosts = [this](CommandBuffer& cmd) {
        BuildTool::drawGhost(*manager, cmd, cannon->getRenderObjects(), ToolColours::Refused);
    };
    const glm::vec3 overTower = colorAt(drawMainPass(), base);
    cannon->skipNextDraw = true;
    const glm::vec3 alone = colorAt(drawMainPass(), base);
    ghosts = nullptr;
    EXPECT_GT(alone.r, 0.3f);
    EXPECT_LT(alone.g, 0.02f) << "red over the clear colour, nothing of the tower";
    EXPECT_GT(difference(alone, overTower), 0.05f);

    // With the cascades, the first of them takes the flag and the main pass draws it.
    cannon->skipNextDraw = true;
    const std::vector<u8> withShadows = drawFrame();
    EXPECT_FALSE(cannon->skipNextDraw);
    EXPECT_GT(difference(colorAt(withShadows, base), glm::vec3(0.0f)), 0.05f);
    EXPECT_TRUE(validationErrors().empty());
}
