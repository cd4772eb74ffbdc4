#include "OffscreenWorld.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/Buildings/BdCastle.h"
#include "Game/Buildings/BdPortal.h"
#include "Game/Buildings/BdPortalInstance.h"
#include "Game/Buildings/FixedBuildingInstance.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Session/BuildingManager.h"
#include "World/Shadow/ShadowRenderer.h"

#include <btBulletCollisionCommon.h>

#include <cmath>

namespace {

// A castle, a wall and a portal in a row on a green ground slab, seen from the front
// and lit by a low sun from behind on the left.
OffscreenScene buildingScene()
{
    OffscreenScene scene;
    scene.sunDirection = {-0.6f, 0.35f, -0.6f};
    scene.groundCentre = {22.0f, 0.0f, 24.0f};
    scene.groundHalfSide = 30.0f;
    return scene;
}

class BuildingDrawGpuTest : public OffscreenWorldTest {
protected:
    BuildingDrawGpuTest() : OffscreenWorldTest(buildingScene()) {}

    void SetUp() override
    {
        OffscreenWorldTest::SetUp();
        if (HasFatalFailure()) return;
        lookAt({20.0f, 9.0f, 44.0f}, {22.0f, 2.0f, 24.0f});
        castle = buildingTypes[BuildingTypeCastle]->createInstance({10, 0, 20}, 0.0f);
        wall = buildingTypes[BuildingTypeWall]->createInstance({24, 0, 23}, 0.0f);
        portal = buildingTypes[BuildingTypePortal]->createInstance({30, 0, 21}, 0.0f);
        for (const auto& building : {castle, wall, portal}) ASSERT_TRUE(manager->place(building));
        manager->update(1);
    }

    void TearDown() override
    {
        castle = wall = portal = nullptr;
        OffscreenWorldTest::TearDown();
    }

    std::shared_ptr<BuildingInstance> castle, wall, portal;
};

f32 brightness(glm::vec3 c)
{
    return (c.r + c.g + c.b) / 3.0f;
}

} // namespace

TEST_F(BuildingDrawGpuTest, CastleWallAndPortalStandLitAndCastShadows)
{
    const std::vector<u8> pixels = drawFrame();
    keepShot(pixels, "BRACKENHOLD_BUILDING_SHOT");
    const glm::vec3 groundLit = colorAt(pixels, screenOf({2.0f, 0.0f, 33.0f}));
    EXPECT_GT(groundLit.g, groundLit.r + 0.1f) << "the lit ground is green";

    // The castle's keep and walls: light stone, not the ground's green nor the clear colour.
    const glm::vec3 keep = colorAt(pixels, screenOf({14.0f, 2.5f, 25.5f}));
    EXPECT_GT(brightness(keep), 0.25f);
    EXPECT_LT(std::abs(keep.r - keep.g), 0.12f) << "grey stone";
    // Its red roofs on the corner towers.
    const glm::vec3 roof = colorAt(pixels, screenOf({17.05f, 3.6f, 27.05f}));
    EXPECT_GT(roof.r, roof.g + 0.15f) << "a red roof";
    // The wall, stone as well.
    const glm::vec3 wallFace = colorAt(pixels, screenOf({25.0f, 1.0f, 24.0f}));
    EXPECT_GT(brightness(wallFace), 0.2f);
    EXPECT_LT(std::abs(wallFace.r - wallFace.g), 0.12f);
    // The portal's surface glows violet inside its frame.
    const glm::vec3 surface = colorAt(pixels, screenOf({33.0f, 3.0f, 24.0f}));
    EXPECT_GT(surface.b, surface.g + 0.1f) << "violet";
    EXPECT_GT(surface.r, surface.g);

    // The low sun behind the castle throws its shadow towards the camera.
    const glm::vec3 shaded = colorAt(pixels, screenOf({20.0f, 0.0f, 30.5f}));
    EXPECT_LT(brightness(shaded), brightness(groundLit) * 0.75f) << "ground in the castle's shadow";
}

TEST_F(BuildingDrawGpuTest, ThePortalSurfaceMovesWithTimeAndTheRestStandsStill)
{
    Engine::totalTimeMs = 1000.0;
    const std::vector<u8> first = drawFrame();
    Engine::totalTimeMs = 1900.0;
    const std::vector<u8> second = drawFrame();
    const glm::ivec2 surface = screenOf({33.0f, 3.2f, 24.0f});
    const glm::ivec2 keep = screenOf({14.0f, 2.5f, 25.5f});
    f32 surfaceChange = 0.0f;
    for (i32 dy = -3; dy <= 3; dy++) {
        for (i32 dx = -3; dx <= 3; dx++) {
            const glm::ivec2 at = surface + glm::ivec2(dx, dy);
            surfaceChange += glm::length(colorAt(first, at) - colorAt(second, at));
        }
    }
    EXPECT_GT(surfaceChange, 0.3f);
    EXPECT_EQ(colorAt(first, keep), colorAt(second, keep));
}

TEST_F(BuildingDrawGpuTest, SkipNextDrawSkipsOneDrawAndMatrixSlotsComeBack)
{
    const u32 freeBefore = instanceStorage->freeCount;
    drawFrame();
    const auto* fixed = dynamic_cast<FixedBuildingInstance*>(castle.get());
    ASSERT_NE(fixed, nullptr);
    ASSERT_NE(fixed->matrixOffset, NoOffset) << "written on its first visible draw";
    EXPECT_EQ(instanceStorage->freeCount, freeBefore - 3);

    // A preview stands in for the castle: its very next draw call is skipped (the
    // first cascade's), the others happen.
    castle->skipNextDraw = true;
    const std::vector<u8> pixels = drawFrame();
    EXPECT_FALSE(castle->skipNextDraw);
    EXPECT_GT(brightness(colorAt(pixels, screenOf({14.0f, 2.5f, 25.5f}))), 0.25f);

    // Only the main pass: the castle is left out of this one picture.
    castle->skipNextDraw = true;
    const glm::vec3 behind = colorAt(drawMainPass(), screenOf({14.0f, 2.5f, 25.5f}));
    EXPECT_GT(behind.g, behind.r + 0.1f) << "the ground shows where the castle was";

    // A building that goes gives its slot back: given up at the next frame, free at the
    // one after.
    wall->requestDestroy();
    manager->update(1);
    EntityTypes::recycleInstanceSlots();
    EXPECT_EQ(instanceStorage->pendingFreeCount, 1u);
    EntityTypes::recycleInstanceSlots();
    EXPECT_EQ(instanceStorage->freeCount, freeBefore - 2);
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(BuildingDrawGpuTest, TheKindsStandAtTheirIndicesWithTheirShapesAndGhosts)
{
    for (u32 i = 0; i < BuildingTypeCount; i++) {
        ASSERT_NE(buildingTypes[i], nullptr);
        EXPECT_EQ(buildingTypes[i]->typeIndex, i) << "the wall is built fourth but stands first";
        EXPECT_EQ(buildingTypes[i]->inToolBar, i != BuildingTypeCastle && i != BuildingTypePortal);
    }
    auto halfExtents = [](Building* kind) {
        const btVector3 half = static_cast<btBoxShape*>(kind->shape)->getHalfExtentsWithMargin();
        return glm::vec3(half.x(), half.y(), half.z());
    };
    EXPECT_EQ(halfExtents(buildingTypes[BuildingTypeWall]), glm::vec3(1.0f, 1.0f, 0.5f));
    EXPECT_EQ(halfExtents(buildingTypes[BuildingTypeCastle]), glm::vec3(4.0f, 2.0f, 4.0f));
    EXPECT_FLOAT_EQ(halfExtents(buildingTypes[BuildingTypeCannon]).y, 1.2f);
    EXPECT_FLOAT_EQ(halfExtents(buildingTypes[BuildingTypeMortar]).y, 1.2f);
    EXPECT_EQ(buildingTypes[BuildingTypePortal]->shape, nullptr);
    EXPECT_EQ(buildingTypes[BuildingTypeCannon]->logoIndex.x, 1) << "copied from the kind's file";
    EXPECT_EQ(buildingTypes[BuildingTypeMortar]->logoIndex.x, 2);

    // Ghosts: the wall's model on its footprint, the towers' three parts 1.0 higher; none
    // for the castle and the portal.
    EXPECT_EQ(buildingTypes[BuildingTypeWall]->getPreviewRenderObjects({10, 5, 10}).size(), 1u);
    const std::vector<RenderObject> tower = buildingTypes[BuildingTypeCannon]->getPreviewRenderObjects({10, 5, 10});
    ASSERT_EQ(tower.size(), 3u);
    for (const RenderObject& part : tower) {
        EXPECT_NE(part.model, nullptr);
        EXPECT_EQ(glm::vec3(part.transform[3]), glm::vec3(11.0f, 3.0f, 11.0f));
    }
    EXPECT_TRUE(buildingTypes[BuildingTypeCastle]->getPreviewRenderObjects({10, 5, 10}).empty());
    EXPECT_TRUE(buildingTypes[BuildingTypePortal]->getPreviewRenderObjects({10, 5, 10}).empty());

    // Only the portal keeps a rotation; the frame is what previews of it draw.
    const std::shared_ptr<BuildingInstance> made = buildingTypes[BuildingTypePortal]->createInstance({1, 2, 3}, 1.5707964f);
    auto* turned = dynamic_cast<BdPortalInstance*>(made.get());
    ASSERT_NE(turned, nullptr);
    EXPECT_EQ(turned->rotation, 1.5707964f);
    EXPECT_EQ(turned->getRenderObjects()[0].model, static_cast<BdPortal*>(buildingTypes[BuildingTypePortal])->frameMesh);
    EXPECT_EQ(castle->getRenderObjects()[0].model, static_cast<BdCastle*>(buildingTypes[BuildingTypeCastle])->model);
}
