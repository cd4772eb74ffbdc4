#include "OffscreenWorld.h"

#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Game/Enemies/EnBaseInstance.h"
#include "Game/Enemies/EnHeavyInstance.h"
#include "Game/Enemies/Enemy.h"
#include "Game/Enemies/EnemyInstance.h"
#include "Game/Enemies/EnemyManager.h"
#include "Game/EntityTypes/EntityTypes.h"

namespace {

// A normal and a heavy enemy standing on a green slab, seen from the front and lit by
// a low sun from behind on the left. The slab is drawn with the buildings' pipelines.
OffscreenScene enemyScene()
{
    OffscreenScene scene;
    scene.sunDirection = {-0.5f, 0.35f, -0.7f};
    scene.origin = {-32.0f, 0.0f, -32.0f};
    scene.groundHalfSide = 20.0f;
    scene.enemies = true;
    return scene;
}

class EnemyDrawGpuTest : public OffscreenWorldTest {
protected:
    EnemyDrawGpuTest() : OffscreenWorldTest(enemyScene()) {}

    void SetUp() override
    {
        OffscreenWorldTest::SetUp();
        if (HasFatalFailure()) return;
        lookAt({0.0f, 3.0f, 9.0f}, {0.0f, 1.2f, 0.0f});
    }

    std::shared_ptr<EnemyInstance> spawn(std::unique_ptr<EnemyInstance> enemy)
    {
        Enemy* kind = enemy->kind;
        enemies->enqueue(std::move(enemy));
        enemies->spawnPending();
        return kind->instances.back();
    }
};

f32 brightness(glm::vec3 c)
{
    return (c.r + c.g + c.b) / 3.0f;
}

} // namespace

TEST_F(EnemyDrawGpuTest, CreaturesInTheirKindsColoursWithGlowingEyesCastShadows)
{
    std::shared_ptr<EnemyInstance> normal = spawn(std::make_unique<EnBaseInstance>(glm::vec3(-1.5f, 1.0f, 0.0f)));
    std::shared_ptr<EnemyInstance> heavy = spawn(std::make_unique<EnHeavyInstance>(glm::vec3(2.0f, 1.5f, 0.0f)));
    const std::vector<u8> pixels = drawFrame();
    keepShot(pixels, "BRACKENHOLD_ENEMY_SHOT");

    // The normal enemy's hide is a dark moss green, the heavy one's a dark red-brown.
    const glm::vec3 normalHide = colorAt(pixels, {-1.5f, 0.8f, 0.4f});
    EXPECT_GT(normalHide.g, normalHide.r);
    EXPECT_GT(normalHide.g, normalHide.b);
    EXPECT_LT(brightness(normalHide), 0.45f) << "a dark creature";
    const glm::vec3 heavyHide = colorAt(pixels, {2.0f, 1.2f, 1.0f});
    EXPECT_GT(heavyHide.r, heavyHide.g + 0.03f);
    EXPECT_LT(brightness(heavyHide), 0.45f);

    // Two eyes glow near the top of the face that looks at the camera.
    const glm::vec3 eye = colorAt(pixels, {-1.5f - 0.18f * 0.8f, 1.0f + 0.3f * 2.0f, 0.41f});
    EXPECT_GT(eye.r, 0.6f);
    EXPECT_GT(eye.g, 0.45f) << "yellow";
    EXPECT_GT(brightness(eye), brightness(normalHide) + 0.3f);

    // The low sun behind them throws their shadows towards the camera.
    const glm::vec3 groundLit = colorAt(pixels, {-6.0f, 0.0f, 2.0f});
    const glm::vec3 shaded = colorAt(pixels, {3.7f, 0.0f, 2.4f});
    EXPECT_GT(groundLit.g, groundLit.r + 0.1f);
    EXPECT_LT(brightness(shaded), brightness(groundLit) * 0.8f) << "ground in the heavy enemy's shadow";

    // An enemy whose cell the pass does not see is left out of it.
    const std::vector<u8> without = drawFrame(0, normal.get());
    const glm::vec3 behind = colorAt(without, {-1.5f, 0.8f, 0.4f});
    EXPECT_GT(behind.g, behind.r + 0.05f) << "the ground shows where the culled enemy stood";
    EXPECT_GT(brightness(behind), brightness(normalHide));
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(EnemyDrawGpuTest, AFullRangeOfEnemiesIsDrawnAndTheRestLeftOut)
{
    // More enemies than the per-frame range holds: 8,000 are drawn in one instanced
    // draw, the rest are left out, and nothing reads past the range.
    for (int i = 0; i < 8100; i++) {
        enemies->enqueue(std::make_unique<EnBaseInstance>(glm::vec3(-10.0f + (i % 100) * 0.2f, 1.0f, -(i / 100) * 0.2f)));
    }
    enemies->spawnPending();
    ASSERT_EQ(enemyTypes[EnemyTypeBase]->instances.size(), 8100u);
    enemiesCastShadows = false;
    const u32 before = Engine::graphicsDevice->drawnInstances;
    drawFrame();
    EXPECT_EQ(Engine::graphicsDevice->drawnInstances - before, 8000u + 5u) << "8,000 enemies and the ground five times";
    EXPECT_TRUE(validationErrors().empty());
}
