// The player's tools as the world runs them once a frame, over buildings without
// models on a flat island: the window (for the cursor's pixels) is the only GPU-side
// object they need. The camera looks straight down, so the cursor in the middle of the
// window points at the ground below it.

#include "BuildingTestSupport.h"
#include "EnemyTestSupport.h"
#include "GpuTest.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Engine.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Window/Input.h"
#include "Engine/Window/KeyboardState.h"
#include "Engine/Window/Window.h"
#include "Game/Intro/CameraPath.h"
#include "Game/Tools/PlayerTools.h"
#include "Game/Tools/ToolState.h"
#include "Game/Ui/MenuState.h"

#include <btBulletDynamicsCommon.h>

#include <cstring>

namespace {

class PlayerToolsTest : public GpuTest {
protected:
    void SetUp() override
    {
        GpuTest::SetUp();
        if (HasFatalFailure()) return;
        grounds = std::make_unique<BuildingGrounds>();
        grounds->terrain.steps.assign(static_cast<size_t>(grounds->terrain.gridSize) * grounds->terrain.gridSize, 0);
        // The island: a slab whose top is the ground at height 0.
        ground.setCollisionShape(&slab);
        ground.getWorldTransform().setOrigin(btVector3(0.0f, -0.5f, 0.0f));
        ground.setUserPointer(&groundReference);
        grounds->queryWorld.world->addCollisionObject(&ground, CollisionTerrain, -1);

        camera = new Camera();
        camera->setPerspective(60.0f, 640.0f / 480.0f, 0.5f, 1000.0f);
        grounds->manager->context.camera = camera;
        running = new World();
        running->camera = camera;
        running->origin = grounds->manager->context.origin;
        running->buildingManager = grounds->manager.get();
        running->ready = 1;
        world = running;
        gameSession = &grounds->session;
        Engine::gameState = GameStatePlaying;
        Ui::clearMenuStates();
        Ui::pushMenuState(MenuStateInGame);
        Settings::cheatsEnabled = 0;
        PlayerTools::resetForNewGame();
        setKeyboardStateSource([this](u8* keys) {
            std::memset(keys, 0, 256);
            if (leftDown) keys[Key::MouseLeft] = 0x80;
            if (escapeDown) keys[Key::Escape] = 0x80;
        });
        over({0.5f, 0.0f, 0.5f});
    }

    void TearDown() override
    {
        if (grounds != nullptr) {
            setKeyboardStateSource(nullptr);
            PlayerTools::resetForNewGame();
            Ui::clearMenuStates();
            Engine::gameState = GameStateMainMenu;
            Settings::cheatsEnabled = 0;
            gameSession = nullptr;
            world = nullptr;
            running->camera = nullptr;
            running->buildingManager = nullptr;
            grounds->queryWorld.world->removeCollisionObject(&ground);
            grounds.reset();
            delete running;
            delete camera;
        }
        GpuTest::TearDown();
    }

    // The cursor (the window's middle) over the ground point `at`.
    void over(glm::vec3 at)
    {
        camera->position = at + glm::vec3(0.0f, 30.0f, 0.0f);
        camera->forward = glm::vec3(0.0f, -1.0f, 0.0f);
        camera->updateView();
    }

    // One frame of the tools, with the buttons as they are.
    void frame()
    {
        Engine::input->beginFrame(320.0f, 240.0f);
        PlayerTools::update();
    }

    void click()
    {
        leftDown = true;
        frame();
        leftDown = false;
        frame();
    }

    // The building whose footprint covers grid cell (x, z), spawned by a logic tick.
    BuildingInstance* standingAt(i32 x, i32 z)
    {
        grounds->manager->update(1);
        return grounds->manager->occupancy.at(x, z);
    }

    i32 money() const { return grounds->session.money->load(); }

    std::unique_ptr<BuildingGrounds> grounds;
    btBoxShape slab{btVector3(512.0f, 0.5f, 512.0f)};
    btCollisionObject ground;
    PhysicsReference groundReference{CollisionTerrain, nullptr, nullptr, 0, nullptr};
    Camera* camera = nullptr;
    World* running = nullptr;
    bool leftDown = false;
    bool escapeDown = false;
};

} // namespace

TEST_F(PlayerToolsTest, PlacingWhileHeldPaysOncePerBuilding)
{
    toolMode = ToolModePlace;
    toolSelection = {ToolCategoryBuildings, BuildingTypeWall};
    frame();
    EXPECT_EQ(money(), 5000) << "nothing while the button is up";

    // A 2 x 1 wall centred on grid (512.5, 512.5): its corner is (512, 512).
    leftDown = true;
    frame();
    EXPECT_EQ(money(), 4900);
    BuildingInstance* wall = grounds->manager->occupancy.at(512, 512);
    ASSERT_NE(wall, nullptr);
    EXPECT_EQ(grounds->manager->occupancy.at(513, 512), wall);
    EXPECT_EQ(wall->gridPos, glm::ivec3(512, 0, 512));
    // Held still: the cells are taken, nothing more is bought.
    frame();
    frame();
    EXPECT_EQ(money(), 4900);
    // Dragged along: one wall for every newly free footprint.
    over({2.5f, 0.0f, 0.5f});
    frame();
    over({4.5f, 0.0f, 0.5f});
    frame();
    EXPECT_EQ(money(), 4700);
    EXPECT_NE(grounds->manager->occupancy.at(516, 512), nullptr);

    // Too little money: nothing is placed and nothing is taken.
    grounds->session.money->store(99);
    over({10.5f, 0.0f, 0.5f});
    frame();
    EXPECT_EQ(money(), 99);
    EXPECT_EQ(grounds->manager->occupancy.at(522, 512), nullptr);
    // With cheats it is placed for free.
    Settings::cheatsEnabled = 1;
    frame();
    EXPECT_EQ(money(), 99);
    EXPECT_NE(grounds->manager->occupancy.at(522, 512), nullptr);
    leftDown = false;
    frame();

    // The castle and the portals are not the player's to place.
    Settings::cheatsEnabled = 0;
    grounds->session.money->store(5000);
    toolSelection = {ToolCategoryBuildings, BuildingTypeCastle};
    over({-40.5f, 0.0f, -40.5f});
    leftDown = true;
    frame();
    EXPECT_EQ(money(), 5000);
    EXPECT_EQ(grounds->manager->occupancy.at(471, 471), nullptr);
}

TEST_F(PlayerToolsTest, EscapeOrAWavePutsTheToolAwayAndAClickSelects)
{
    grounds->place(BuildingTypeWall, {512, 0, 512});
    BuildingInstance* wall = standingAt(512, 512);
    ASSERT_NE(wall, nullptr);
    over(wall->footprintCentre());

    // Escape with a tool: no tool, the press is taken, and a click in the same frame
    // already selects.
    toolMode = ToolModeUpgrade;
    escapeDown = true;
    leftDown = true;
    frame();
    EXPECT_EQ(Engine::input->escapeHandled, 1) << "the pause menu does not get the press";
    escapeDown = false;
    leftDown = false;
    frame();
    EXPECT_EQ(toolMode, ToolModeNone);
    EXPECT_EQ(buildingSelection.instance.get(), wall);
    EXPECT_TRUE(buildingSelection.openRequest);
    EXPECT_EQ(money(), 5000) << "no upgrade";

    // A click on no building lets the selection go.
    over({40.5f, 0.0f, 40.5f});
    click();
    EXPECT_EQ(buildingSelection.instance, nullptr);

    // A wave that starts puts the tool away, unless cheats are on.
    toolMode = ToolModeSell;
    grounds->session.waveState->active = true;
    Settings::cheatsEnabled = 1;
    frame();
    EXPECT_EQ(toolMode, ToolModeSell);
    Settings::cheatsEnabled = 0;
    frame();
    EXPECT_EQ(toolMode, ToolModeNone);
}

TEST_F(PlayerToolsTest, SellRepairAndUpgradeActOncePerClick)
{
    grounds->place(BuildingTypeWall, {512, 0, 512});
    BuildingInstance* wall = standingAt(512, 512);
    ASSERT_NE(wall, nullptr);
    over(wall->footprintCentre());

    toolMode = ToolModeUpgrade;
    leftDown = true;
    frame();
    frame();
    frame();
    leftDown = false;
    frame();
    EXPECT_EQ(wall->level.load(), 1u) << "held down, the button upgrades once";
    EXPECT_EQ(money(), 4850);

    wall->applyDamage(100);
    toolMode = ToolModeRepair;
    click();
    EXPECT_EQ(wall->health.load(), 600);
    EXPECT_EQ(money(), 4850 - 50);

    toolMode = ToolModeSell;
    click();
    click();
    EXPECT_TRUE(wall->destroyPending.load());
    EXPECT_EQ(money(), 4800 + 250) << "sold once";
}

TEST_F(PlayerToolsTest, ToolsActOnlyInPlay)
{
    grounds->place(BuildingTypeWall, {512, 0, 512});
    BuildingInstance* wall = standingAt(512, 512);
    ASSERT_NE(wall, nullptr);
    over(wall->footprintCentre());

    // Under an end dialog, with the pause menu open, while the intro flies: nothing.
    grounds->session.state = SessionLost;
    click();
    EXPECT_EQ(buildingSelection.instance, nullptr);
    grounds->session.state = SessionPlayingOn;
    Ui::pushMenuState(MenuStatePause);
    click();
    EXPECT_EQ(buildingSelection.instance, nullptr);
    Ui::popMenuState();
    CameraPath intro;
    Engine::cameraPath = &intro;
    intro.playing = true;
    toolMode = ToolModeSell;
    click();
    EXPECT_FALSE(wall->destroyPending.load());
    intro.playing = false;
    click();
    EXPECT_TRUE(wall->destroyPending.load()) << "in play again";
    Engine::cameraPath = nullptr;
}

// With cheats, tool mode 1 with an enemy kind drops one enemy of the kind the index
// names every frame the button is held, 5 units above the highest step under the
// cursor's cell.
TEST_F(PlayerToolsTest, CheatEnemiesDropOneAFrameAboveTheStepOfTheirKind)
{
    EnemyGrounds enemies(grounds->terrain.gridSize);
    EnemyManager& manager = *enemies.manager;
    manager.context.terrain = &grounds->terrain;
    manager.context.physics = &grounds->physics;
    manager.context.camera = camera;
    running->enemyManager = &manager;
    // The cell under the cursor (grid 512, 512) stands 3 steps high on one corner.
    grounds->terrain.steps[513 * grounds->terrain.gridSize + 513] = 3;
    auto queued = [&manager] {
        std::lock_guard lock(manager.pendingMutex);
        return manager.pending.size();
    };

    Settings::cheatsEnabled = 1;
    toolMode = ToolModePlace;
    toolSelection = {ToolCategoryEnemies, 0};
    frame();
    EXPECT_EQ(queued(), 0u) << "nothing while the button is up";
    leftDown = true;
    frame();
    frame();
    frame();
    ASSERT_EQ(queued(), 3u) << "one a frame while it is held";
    toolSelection = {ToolCategoryEnemies, 1};
    frame();
    toolSelection = {ToolCategoryEnemies, 2};
    frame();
    leftDown = false;
    frame();
    ASSERT_EQ(queued(), 4u) << "an index without a kind drops nothing";
    {
        std::lock_guard lock(manager.pendingMutex);
        for (size_t i = 0; i < 4; i++) {
            EXPECT_EQ(manager.pending[i]->kind, enemyTypes[i < 3 ? 0 : 1]) << i;
            EXPECT_EQ(manager.pending[i]->position.load(), glm::vec3(0.0f, 3 * 0.4f + 5.0f, 0.0f)) << i;
        }
    }
    EXPECT_EQ(money(), 5000) << "enemies cost nothing";
    manager.spawnPending();
    running->enemyManager = nullptr;
}
