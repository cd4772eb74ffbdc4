#include "OffscreenWorld.h"
#include "Readback.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Engine/Window/Input.h"
#include "Engine/Window/Window.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameSession.h"
#include "Game/Tools/BuildTool.h"
#include "Game/Tools/EdgeEffect.h"
#include "Game/Tools/PlayerTools.h"
#include "Game/Tools/ToolRules.h"
#include "Game/Tools/ToolState.h"
#include "Game/Ui/UiState.h"
#include "World/Shadow/ShadowRenderer.h"
#include "World/Terrain/Terrain.h"
#include "World/Terrain/TerrainGrid.h"
#include "World/WorldTargets.h"

#include <GLFW/glfw3.h>
#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <cmath>

namespace {

// A castle standing, seen from the front; the tools' ghosts drawn into the main pass
// and the hover outline into the edge effect.
OffscreenScene previewScene()
{
    OffscreenScene scene;
    const float clear[4] = {0.1f, 0.1f, 0.1f, 1.0f};
    std::copy(clear, clear + 4, scene.clear);
    scene.outline = true;
    return scene;
}

class ToolPreviewGpuTest : public OffscreenWorldTest {
protected:
    ToolPreviewGpuTest() : OffscreenWorldTest(previewScene()) {}

    void SetUp() override
    {
        OffscreenWorldTest::SetUp();
        if (HasFatalFailure()) return;
        lookAt({20.0f, 9.0f, 44.0f}, {18.0f, 2.0f, 24.0f});
        castle = buildingTypes[BuildingTypeCastle]->createInstance({10, 0, 20}, 0.0f);
        ASSERT_TRUE(manager->place(castle));
        manager->update(1);
    }

    void TearDown() override
    {
        castle = nullptr;
        OffscreenWorldTest::TearDown();
    }

    // The buildings' main pass with `parts` drawn after them, as the world does.
    std::vector<u8> drawWithGhosts(const std::vector<std::pair<std::vector<RenderObject>, glm::vec4>>& parts)
    {
        ghosts = [this, &parts](CommandBuffer& cmd) {
            for (const auto& [objects, colour] : parts) BuildTool::drawGhost(*manager, cmd, objects, colour);
        };
        std::vector<u8> pixels = drawFrame();
        ghosts = nullptr;
        return pixels;
    }

    // The outline image (RGBA, 4 bytes a pixel) after the hover outline of `parts`.
    std::vector<u8> outlineOf(const std::vector<RenderObject>& parts)
    {
        CommandBuffer* cmd = beginCommands();
        cmd->flushUploads();
        BuildTool::renderPreviewPass(*manager, *cmd, parts, ToolColours::Outline);
        submitCommandsAndWait(cmd);
        EdgeEffect& edge = *manager->edgeEffect;
        return readImage(edge.colorImage, 0, 0, edge.extent.width, edge.extent.height,
                         static_cast<VkDeviceSize>(edge.extent.width) * edge.extent.height * 4);
    }

    std::shared_ptr<BuildingInstance> castle;
};

// The same scene as a running game's frame shows it with a tool in hand: a flat island
// under the buildings (picked through the query world, its steps in a terrain grid),
// a session with money, the cursor over the window and the interface's message record.
class ToolInHandGpuTest : public ToolPreviewGpuTest {
protected:
    void SetUp() override
    {
        ToolPreviewGpuTest::SetUp();
        if (HasFatalFailure()) return;
        ground.setCollisionShape(&slab);
        ground.getWorldTransform().setOrigin(btVector3(32.0f, -0.5f, 32.0f));
        ground.setUserPointer(&groundReference);
        queryWorld.world->addCollisionObject(&ground, CollisionTerrain, -1);
        manager->context.terrain = &terrain;
        manager->context.session = &session;
        Ui::createState();
        Settings::cheatsEnabled = 0;
        PlayerTools::resetForNewGame();
    }

    void TearDown() override
    {
        if (manager != nullptr) {
            PlayerTools::resetForNewGame();
            Ui::destroyState();
            queryWorld.world->removeCollisionObject(&ground);
            manager->context.terrain = nullptr;
            manager->context.session = nullptr;
        }
        ToolPreviewGpuTest::TearDown();
    }

    // The cursor over the world point `at`, in the window's pixels.
    void pointAt(glm::vec3 at)
    {
        const glm::ivec2 window(Engine::window->width, Engine::window->height);
        const glm::vec3 pixel = camera->worldToScreen(at, window);
        ASSERT_GT(pixel.x, 0.0f);
        ASSERT_GT(pixel.y, 0.0f);
        ASSERT_LT(pixel.x, static_cast<f32>(window.x));
        ASSERT_LT(pixel.y, static_cast<f32>(window.y));
        Engine::input->beginFrame(pixel.x, pixel.y);
    }

    // A frame with the current tool's preview drawn as the world draws it, after a
    // message left by an earlier one is gone.
    std::vector<u8> previewFrame()
    {
        Ui::uiMessage->show = false;
        Ui::uiMessage->text.clear();
        ghosts = [this](CommandBuffer& cmd) { PlayerTools::drawPreview(*manager, cmd); };
        std::vector<u8> pixels = drawFrame();
        ghosts = nullptr;
        return pixels;
    }

    // The message the frame's preview left for the interface ("" when none).
    static std::string message() { return Ui::uiMessage->show ? Ui::uiMessage->text : std::string(); }

    btBoxShape slab{btVector3(32.0f, 0.5f, 32.0f)};
    btCollisionObject ground;
    PhysicsReference groundReference{CollisionTerrain, nullptr, nullptr, 0, nullptr};
    TerrainGrid terrain{64, 1};
    GameSession session;
};

u8 alphaAt(const std::vector<u8>& rgba, u32 width, i32 x, i32 y)
{
    return rgba[(static_cast<size_t>(y) * width + static_cast<size_t>(x)) * 4 + 3];
}

} // namespace

TEST_F(ToolPreviewGpuTest, GhostsTintWhatTheyCoverIncludingTheirOwnBuilding)
{
    const glm::vec3 keepPoint(14.0f, 2.5f, 25.5f);
    const glm::vec3 wallPoint(25.0f, 1.0f, 24.0f);
    const std::vector<u8> plain = drawWithGhosts({});
    const glm::vec3 keep = colorAt(plain, screenOf(keepPoint));
    EXPECT_LT(std::abs(keep.r - keep.g), 0.12f) << "grey stone";
    const glm::vec3 empty = colorAt(plain, screenOf(wallPoint));

    // A green ghost over the castle itself (the sell, repair and upgrade previews draw
    // the building's own parts) and a red wall ghost on free ground.
    const std::vector<RenderObject> wallGhost = buildingTypes[BuildingTypeWall]->getPreviewRenderObjects({24, 0, 23});
    ASSERT_EQ(wallGhost.size(), 1u);
    const std::vector<u8> ghosts =
        drawWithGhosts({{castle->getRenderObjects(), ToolColours::Valid}, {wallGhost, ToolColours::Refused}});
    const glm::vec3 greenKeep = colorAt(ghosts, screenOf(keepPoint));
    EXPECT_GT(greenKeep.g, greenKeep.r + 0.1f) << "the ghost shows over the building at the same depth";
    EXPECT_GT(greenKeep.g, keep.g);
    const glm::vec3 redWall = colorAt(ghosts, screenOf(wallPoint));
    EXPECT_GT(redWall.r, redWall.g + 0.1f);
    EXPECT_GT(redWall.r, empty.r + 0.1f) << "translucent red where no building stands";
    // Translucent: the stone still shows through, darker or lighter than pure green.
    EXPECT_GT(greenKeep.r, 0.05f);
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(ToolPreviewGpuTest, TheOutlineIsARimAroundTheHoveredBuilding)
{
    const std::vector<u8> outline = outlineOf(castle->getRenderObjects());
    const glm::ivec2 centre = screenOf({14.0f, 2.5f, 25.5f});
    ASSERT_GT(centre.x, 10);
    ASSERT_LT(centre.x, static_cast<i32>(scene.width) - 10);
    EXPECT_EQ(alphaAt(outline, scene.width, centre.x, centre.y), 0) << "the building itself is not covered";
    EXPECT_EQ(alphaAt(outline, scene.width, 0, centre.y), 0) << "far from it nothing";

    // Along the row through it: a rim of at most 2 pixels on each side of the building.
    std::vector<i32> rim;
    for (i32 x = 0; x < static_cast<i32>(scene.width); x++) {
        if (alphaAt(outline, scene.width, x, centre.y) == 255) rim.push_back(x);
    }
    ASSERT_GE(rim.size(), 2u);
    EXPECT_LE(rim.size(), 4u);
    EXPECT_LT(rim.front(), centre.x);
    EXPECT_GT(rim.back(), centre.x);
    const size_t at = (static_cast<size_t>(centre.y) * scene.width + static_cast<size_t>(rim.front())) * 4;
    EXPECT_EQ(outline[at], 255) << "white";
    EXPECT_EQ(outline[at + 1], 255);

    // Nothing hovered afterwards: the next outline of no parts leaves the image empty.
    const std::vector<u8> none = outlineOf({});
    for (size_t i = 3; i < none.size(); i += 4) ASSERT_EQ(none[i], 0);
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(ToolPreviewGpuTest, TheOutlineImageIsReadableBeforeItsFirstPassAndAfterAResize)
{
    // The post-process pass samples the image every frame: a new image (and one made
    // by a resize) is made readable although nothing was outlined yet.
    EdgeEffect& edge = *manager->edgeEffect;
    for (VkExtent2D extent : {VkExtent2D{scene.width, scene.height}, VkExtent2D{100, 60}}) {
        if (extent.width != edge.extent.width) edge.resize(extent);
        EXPECT_EQ(edge.colorLayout, VK_IMAGE_LAYOUT_UNDEFINED);
        CommandBuffer* cmd = beginCommands();
        edge.prepareForSampling(cmd);
        submitCommandsAndWait(cmd);
        EXPECT_EQ(edge.colorLayout, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL);
        readImage(edge.colorImage, 0, 0, edge.extent.width, edge.extent.height,
                  static_cast<VkDeviceSize>(edge.extent.width) * edge.extent.height * 4);
    }
    EXPECT_EQ(edge.colorImage->extent.width, 100u);
    EXPECT_EQ(edge.depthImage->extent.height, 60u);
    // After an outline pass at the new size the image stays readable frame after frame.
    const std::vector<u8> outline = outlineOf(castle->getRenderObjects());
    EXPECT_EQ(outline.size(), 100u * 60u * 4u);
    CommandBuffer* cmd = beginCommands();
    edge.prepareForSampling(cmd);
    submitCommandsAndWait(cmd);
    EXPECT_TRUE(validationErrors().empty());
}

// A window resize reaches the outline image through the world that owns the building
// manager: the swap chain's rebuild has the world remake its window-sized images, the
// outline's among them.
TEST_F(ToolPreviewGpuTest, TheOutlineImageFollowsAWindowResize)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    World running;
    running.camera = new Camera();
    running.targetSampler = new Sampler(device, targetSamplerInfo());
    running.depthSampler = new Sampler(device, depthTargetSamplerInfo());
    createRenderTargets(running, scene.width, scene.height);
    running.shadows = new ShadowRenderer();
    StorageSlot sun{Engine::frameUniforms, 16, NoOffset}, water{Engine::frameUniforms, 64, NoOffset};
    for (StorageSlot* slot : {&sun, &water}) {
        const std::vector<u8> zeros(slot->size, 0);
        slot->offset = Engine::frameUniforms->write(slot->offset, zeros.data(), slot->size, false);
    }
    TerrainBindings bindings;
    bindings.skyParams = skySlot;
    bindings.sunDirection = &sun;
    bindings.shadowUniforms = running.shadows->uniformSlot;
    bindings.shadowMap = running.shadows->mapBinding;
    bindings.waterParams = &water;
    bindings.lightCamera = running.shadows->lightCamera->uniformSlot;
    bindings.targetSampler = running.targetSampler;
    bindings.depthSampler = running.depthSampler;
    bindings.colorFormat = Engine::swapChain->format;
    bindings.depthFormat = findDepthFormat(device->physicalDevice);
    bindings.shadowFormat = bindings.depthFormat;
    bindings.windowWidth = scene.width;
    bindings.windowHeight = scene.height;
    running.terrain = new Terrain(running.camera, 8, 1, bindings, nullptr);
    running.buildingManager = manager;
    running.ready = 1;
    running.resizeCallback = [&running] { running.onResize(); };
    Engine::swapChain->resizeListeners->push_back(&running.resizeCallback);

    EdgeEffect& edge = *manager->edgeEffect;
    EXPECT_EQ(edge.extent.width, scene.width);
    glfwSetWindowSize(Engine::window->handle, 320, 200);
    for (int i = 0; i < 100 && Engine::window->width != 320; i++) glfwWaitEventsTimeout(0.01);
    EXPECT_EQ(Engine::window->width, 320);
    Engine::swapChain->recreate();
    const u32 width = static_cast<u32>(Engine::window->width);
    const u32 height = static_cast<u32>(Engine::window->height);
    EXPECT_EQ(running.sceneColor->extent.width, width);
    EXPECT_EQ(edge.extent.width, width);
    EXPECT_EQ(edge.extent.height, height);
    EXPECT_EQ(edge.colorImage->extent.width, width);
    EXPECT_EQ(edge.colorImage->extent.height, height);
    EXPECT_EQ(edge.depthImage->extent.width, width);
    // The outline is drawn at the new size.
    EXPECT_EQ(outlineOf(castle->getRenderObjects()).size(), size_t(width) * height * 4u);

    // The world's teardown waits for the game's buildings to go: the castle goes first,
    // and the building manager stays the fixture's.
    manager->destroyAll();
    castle = nullptr;
    PhysicsWorld leftovers;
    leftovers.init(EngineWorldGravity);
    Simulation::releaseRemaining(leftovers);
    running.buildingManager = nullptr;
    vkDeviceWaitIdle(device->device);
    EXPECT_TRUE(validationErrors().empty());
}

// Tool mode 1 as a frame shows it: the kind's ghost on the footprint under the cursor,
// green where it may stand, red with the reason next to the cursor where it may not;
// the castle, the portal and a cheat enemy have no ghost.
TEST_F(ToolInHandGpuTest, APlacementGhostIsRedWithItsReasonAndSomeSelectionsHaveNone)
{
    const glm::vec3 spot(25.0f, 0.0f, 33.5f);
    const glm::vec3 ghostPoint = spot + glm::vec3(0.0f, 1.0f, 0.0f);
    const std::vector<u8> plain = previewFrame();
    const glm::vec3 bare = colorAt(plain, ghostPoint);
    pointAt(spot);
    toolMode = ToolModePlace;
    toolSelection = {ToolCategoryBuildings, BuildingTypeWall};

    const glm::vec3 valid = colorAt(previewFrame(), ghostPoint);
    EXPECT_EQ(message(), "");
    EXPECT_GT(valid.g, valid.r + 0.2f) << "a green wall where it may stand";

    session.money->store(99);
    const glm::vec3 poor = colorAt(previewFrame(), ghostPoint);
    EXPECT_EQ(message(), "Not enough money!");
    EXPECT_GT(poor.r, poor.g + 0.2f) << "red";
    EXPECT_GT(poor.r, bare.r + 0.2f);

    // A wall standing there already: the cells are taken.
    session.money->store(5000);
    ASSERT_TRUE(manager->place(buildingTypes[BuildingTypeWall]->createInstance({24, 0, 33}, 0.0f)));
    const glm::vec3 taken = colorAt(previewFrame(), ghostPoint);
    EXPECT_EQ(message(), "Placement is invalid!");
    EXPECT_GT(taken.r, taken.g + 0.2f);
    session.money->store(99);
    previewFrame();
    EXPECT_EQ(message(), "Not enough money!") << "the money is named before the cells";

    // Nothing to see of a castle or a portal to be placed, nor of an enemy to drop.
    session.money->store(50000);
    for (ToolSelection selection : {ToolSelection{ToolCategoryBuildings, BuildingTypeCastle},
                                    ToolSelection{ToolCategoryBuildings, BuildingTypePortal},
                                    ToolSelection{ToolCategoryEnemies, 0}}) {
        toolSelection = selection;
        const std::vector<u8> none = previewFrame();
        EXPECT_EQ(colorAt(none, ghostPoint), bare) << selection.category << " " << selection.index;
        EXPECT_TRUE(none == plain) << "nothing drawn";
    }
    EXPECT_TRUE(validationErrors().empty());
}

// Tool modes 2 to 4 over a standing building: its ghost in the colour of what a click
// would do, the reason or the price for the interface, and its own next draw left out.
TEST_F(ToolInHandGpuTest, SellRepairAndUpgradePreviewsNameTheirPriceAndStandInForTheBuilding)
{
    const glm::vec3 keepPoint(14.0f, 2.5f, 25.5f);
    const std::vector<u8> plain = previewFrame();
    const glm::vec3 stone = colorAt(plain, keepPoint);
    pointAt({14.0f, 2.0f, 28.0f}); // the castle's front

    // The castle is never for sale: no ghost, no message, its draw untouched.
    toolMode = ToolModeSell;
    EXPECT_TRUE(previewFrame() == plain) << "nothing drawn";
    EXPECT_EQ(message(), "");
    EXPECT_FALSE(castle->skipNextDraw);

    struct Case {
        u32 mode;
        i32 money;
        i32 damage;
        const char* message;
        bool green;
    };
    for (const Case& c : {Case{ToolModeRepair, 5000, 0, "Already fully repaired!", false},
                          Case{ToolModeRepair, 5000, 1000, "Repair for 500$", true},
                          Case{ToolModeRepair, 499, 0, "Not enough money!", false},
                          Case{ToolModeUpgrade, 5000, 0, "Already max level", false}}) {
        toolMode = c.mode;
        session.money->store(c.money);
        if (c.damage > 0) castle->applyDamage(c.damage);
        castle->skipNextDraw = false;
        const glm::vec3 keep = colorAt(previewFrame(), keepPoint);
        EXPECT_EQ(message(), c.message);
        EXPECT_TRUE(castle->skipNextDraw) << c.message << ": the ghost stands in for its next draw";
        if (c.green) {
            EXPECT_GT(keep.g, stone.g + 0.1f) << c.message;
            EXPECT_GT(keep.g, keep.r + 0.1f) << c.message;
        } else {
            EXPECT_GT(keep.r, stone.r + 0.1f) << c.message;
            EXPECT_GT(keep.r, keep.g + 0.1f) << c.message;
        }
    }

    // A wall: sold for its value, upgraded to level 2.
    std::shared_ptr<BuildingInstance> wall = buildingTypes[BuildingTypeWall]->createInstance({24, 0, 33}, 0.0f);
    ASSERT_TRUE(manager->place(wall));
    manager->update(1);
    pointAt({25.0f, 1.0f, 34.0f});
    session.money->store(5000);
    toolMode = ToolModeSell;
    const glm::vec3 sold = colorAt(previewFrame(), glm::vec3(25.0f, 1.0f, 34.0f));
    EXPECT_EQ(message(), "Sell for 100$");
    EXPECT_TRUE(wall->skipNextDraw);
    EXPECT_GT(sold.r, sold.g + 0.1f);
    toolMode = ToolModeUpgrade;
    wall->skipNextDraw = false;
    previewFrame();
    EXPECT_EQ(message(), "Upgrade to level 2 (150$)");
    EXPECT_TRUE(wall->skipNextDraw);
    EXPECT_FALSE(castle->skipNextDraw) << "the next frame's first draw of the castle took its flag";
    EXPECT_TRUE(validationErrors().empty());
}
