// The in-game panels built headless over buildings without a GPU: the tool bar and its
// pop-up, the time controls, the wave panel, the building detail pop-up and the end
// dialogs, clicked as a player would click them.

#include "BuildingTestSupport.h"
#include "UiHeadless.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Engine.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Window/Input.h"
#include "Engine/Window/KeyboardState.h"
#include "Game/Intro/CameraPath.h"
#include "Game/Session/GameSpeed.h"
#include "Game/Tools/ToolState.h"
#include "Game/Ui/MouseOwner.h"
#include "Game/Ui/PanelLayout.h"
#include "Game/Ui/UiTextures.h"

#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>
#include <optional>

namespace {

constexpr f32 Width = 1280.0f;
constexpr f32 Height = 720.0f;

class PanelsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ImGui::SetCurrentContext(headlessUiContext());
        Ui::createState();
        Ui::toolBarTextures = new ToolBarTextures();
        Ui::timeControlsTexture = new TimeControlsTexture();
        Engine::input = new Input(nullptr);
        setKeyboardStateSource([this](u8* keys) {
            std::memset(keys, 0, 256);
            if (escapeDown) keys[Key::Escape] = 0x80;
        });
        Settings::cheatsEnabled = 0;
        PlayerTools::resetForNewGame();

        grounds = std::make_unique<BuildingGrounds>();
        running = new World();
        running->camera = new Camera();
        running->buildingManager = grounds->manager.get();
        running->ready = 1;
        world = running;
        session = new GameSession();
        gameSession = session;
        Engine::gameState = GameStatePlaying;
        Ui::clearMenuStates();
        Ui::pushMenuState(MenuStateInGame);
        frames(2);
    }

    void TearDown() override
    {
        PlayerTools::resetForNewGame();
        // The world and the session, unless "Exit" took them.
        if (world != nullptr) {
            world->buildingManager = nullptr;
            grounds.reset();
            delete world;
            world = nullptr;
            delete gameSession;
            gameSession = nullptr;
        }
        grounds.reset();
        setKeyboardStateSource(nullptr);
        delete Engine::input;
        Engine::input = nullptr;
        delete Ui::toolBarTextures;
        Ui::toolBarTextures = nullptr;
        delete Ui::timeControlsTexture;
        Ui::timeControlsTexture = nullptr;
        Ui::destroyState();
        Ui::clearMenuStates();
        Engine::gameState = GameStateMainMenu;
        Settings::cheatsEnabled = 0;
    }

    // One frame as the main loop runs it: the input snapshot, the interface's claim on
    // the cursor (where the world's tools would act), then the windows.
    void frame()
    {
        Engine::input->beginFrame(mouse.x, mouse.y);
        Ui::claimMouse(mouse.x, mouse.y);
        ImGuiIO& io = ImGui::GetIO();
        io.DisplaySize = ImVec2(Width, Height);
        io.DeltaTime = 1.0f / 60.0f;
        io.MousePos = mouse;
        io.MouseDown[0] = mouseDown;
        ImGui::NewFrame();
        Ui::drawWindows();
        ImGui::Render();
    }

    // The text that window `name` drew in the last frame, read back from its glyphs
    // (blanks draw none and are left out); only the glyphs in `colour` when one is given.
    static std::string glyphsOf(const char* name, std::optional<ImU32> colour = std::nullopt)
    {
        const ImGuiWindow* window = ImGui::FindWindowByName(name);
        if (window == nullptr || !window->Active) return {};
        std::map<std::pair<f32, f32>, const ImFontGlyph*> glyphs;
        for (const ImFont* font : ImGui::GetIO().Fonts->Fonts) {
            for (const ImFontGlyph& glyph : font->Glyphs) glyphs[{glyph.U0, glyph.V0}] = &glyph;
        }
        // A glyph is a quad whose corners take the glyph's texture corners in turn.
        std::string text;
        const ImVector<ImDrawVert>& vertices = window->DrawList->VtxBuffer;
        for (int i = 0; i + 3 < vertices.Size;) {
            const auto found = glyphs.find({vertices[i].uv.x, vertices[i].uv.y});
            if (found == glyphs.end() || vertices[i + 2].uv.x != found->second->U1 ||
                vertices[i + 2].uv.y != found->second->V1) {
                i++;
                continue;
            }
            if (!colour || vertices[i].col == *colour) text += static_cast<char>(found->second->Codepoint);
            i += 4;
        }
        return text;
    }

    // `text` as glyphsOf reads it back.
    static std::string glyphs(std::string text)
    {
        text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
        return text;
    }

    static std::string popupName()
    {
        ImGuiWindow* popup = openPopup();
        return popup != nullptr ? popup->Name : "";
    }

    // The top left texture coordinate of every picture that window `name` drew from
    // `texture` in the last frame, in drawing order.
    static std::vector<ImVec2> picturesOf(const char* name, ImTextureID texture)
    {
        std::vector<ImVec2> corners;
        const ImGuiWindow* window = ImGui::FindWindowByName(name);
        if (window == nullptr || !window->Active) return corners;
        const ImDrawList& list = *window->DrawList;
        for (const ImDrawCmd& cmd : list.CmdBuffer) {
            if (cmd.TextureId != texture) continue;
            // A picture is one quad of four vertices in a row.
            std::vector<unsigned> vertices;
            for (unsigned i = 0; i < cmd.ElemCount; i++) vertices.push_back(list.IdxBuffer[cmd.IdxOffset + i] + cmd.VtxOffset);
            std::sort(vertices.begin(), vertices.end());
            vertices.erase(std::unique(vertices.begin(), vertices.end()), vertices.end());
            for (size_t q = 0; q + 4 <= vertices.size(); q += 4) {
                ImVec2 corner(1e9f, 1e9f);
                for (size_t v = q; v < q + 4; v++) {
                    corner.x = std::min(corner.x, list.VtxBuffer[vertices[v]].uv.x);
                    corner.y = std::min(corner.y, list.VtxBuffer[vertices[v]].uv.y);
                }
                corners.push_back(corner);
            }
        }
        return corners;
    }

    // Rests the pointer on `point` for `seconds` of frames.
    void restOn(ImVec2 point, f32 seconds)
    {
        mouse = point;
        for (f32 t = 0.0f; t < seconds; t += 1.0f / 60.0f) frame();
    }

    void frames(int count)
    {
        for (int i = 0; i < count; i++) frame();
    }

    void clickAt(ImVec2 point)
    {
        mouse = point;
        frame();
        mouseDown = true;
        frame();
        mouseDown = false;
        frame();
    }

    // Whether window `name` was drawn in the last frame.
    static bool shown(const char* name)
    {
        ImGuiWindow* window = ImGui::FindWindowByName(name);
        return window != nullptr && window->Active;
    }

    static ImVec2 topLeft(const char* name)
    {
        ImGuiWindow* window = ImGui::FindWindowByName(name);
        return window != nullptr ? window->Pos : ImVec2(-1.0f, -1.0f);
    }

    static ImVec2 centreOf(const char* name)
    {
        ImGuiWindow* window = ImGui::FindWindowByName(name);
        return ImVec2(window->Pos.x + window->Size.x * 0.5f, window->Pos.y + window->Size.y * 0.5f);
    }

    // The innermost pop-up that is open.
    static ImGuiWindow* openPopup()
    {
        ImGuiContext& g = *GImGui;
        return g.OpenPopupStack.empty() ? nullptr : g.OpenPopupStack.back().Window;
    }

    // Where the pointer hovers the item `label` of `window` (found by moving the pointer
    // over the window); nothing when no point does.
    std::optional<ImVec2> find(ImGuiWindow* window, const char* label)
    {
        if (window == nullptr) return std::nullopt;
        const ImGuiID id = window->GetIDNoKeepAlive(label);
        const ImVec2 from = window->Pos;
        const ImVec2 to(window->Pos.x + window->Size.x, window->Pos.y + window->Size.y);
        for (f32 y = from.y + 2.0f; y < to.y; y += 5.0f) {
            for (f32 x = from.x + 2.0f; x < to.x; x += 10.0f) {
                mouse = ImVec2(x, y);
                frame();
                if (GImGui->HoveredId == id) return mouse;
            }
        }
        return std::nullopt;
    }

    bool clickItem(ImGuiWindow* window, const char* label)
    {
        std::optional<ImVec2> at = find(window, label);
        if (!at) return false;
        clickAt(*at);
        return true;
    }

    // A spawned building of `kind` at `gridPos`, selected as a click on it would.
    std::shared_ptr<BuildingInstance> select(u32 kind, glm::ivec3 gridPos)
    {
        std::shared_ptr<BuildingInstance> building = grounds->place(kind, gridPos);
        grounds->manager->update(1);
        buildingSelection.instance = building;
        buildingSelection.openRequest = true;
        frame();
        return building;
    }

    std::unique_ptr<BuildingGrounds> grounds;
    World* running = nullptr;
    GameSession* session = nullptr;
    bool escapeDown = false;
    bool mouseDown = false;
    ImVec2 mouse{-1000.0f, -1000.0f};
};

} // namespace

TEST_F(PanelsTest, ToolBarWindowsSitInARowAndSetTheTool)
{
    using namespace PanelLayout;
    const f32 m = 16.0f;
    EXPECT_EQ(topLeft("TBC0").x, m);
    EXPECT_EQ(topLeft("TBC0").y, Height - m - CategoryWindow);
    EXPECT_EQ(topLeft("DTool").x, 2 * m + CategoryWindow);
    EXPECT_EQ(topLeft("DTool").y, Height - m - ToolWindow);
    EXPECT_EQ(topLeft("RTool").x, 3 * m + CategoryWindow + ToolWindow);
    EXPECT_EQ(topLeft("UTool").x, 4 * m + CategoryWindow + 2 * ToolWindow);
    EXPECT_FALSE(shown("TBC1")) << "enemies only with cheats";

    // Each tool turns on with a click and off with the next.
    clickAt(centreOf("DTool"));
    EXPECT_EQ(toolMode, ToolModeSell);
    clickAt(centreOf("RTool"));
    EXPECT_EQ(toolMode, ToolModeRepair);
    clickAt(centreOf("UTool"));
    EXPECT_EQ(toolMode, ToolModeUpgrade);
    clickAt(centreOf("UTool"));
    EXPECT_EQ(toolMode, ToolModeNone);
    EXPECT_EQ(Ui::uiOwnsMouse, 1) << "the pointer is over the tool bar";

    // The buildings' pop-up above the bar: wall, cannon and mortar, three to a row.
    clickAt(centreOf("TBC0"));
    ImGuiWindow* popup = openPopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->Pos.x, m);
    EXPECT_EQ(popup->Pos.y, Height - 2 * m - PopupAbove);
    clickAt(ImVec2(popup->Pos.x + PopupItem * 2.5f, popup->Pos.y + PopupItem * 0.5f));
    EXPECT_EQ(toolMode, ToolModePlace);
    EXPECT_EQ(toolSelection.category, ToolCategoryBuildings);
    EXPECT_EQ(toolSelection.index, static_cast<u32>(BuildingTypeMortar));
    EXPECT_EQ(openPopup(), nullptr) << "a pick closes the pop-up";
    clickAt(centreOf("TBC0"));
    popup = openPopup();
    ASSERT_NE(popup, nullptr);
    clickAt(ImVec2(popup->Pos.x + PopupItem * 0.5f, popup->Pos.y + PopupItem * 0.5f));
    EXPECT_EQ(toolSelection.index, static_cast<u32>(BuildingTypeWall));

    // With cheats the enemies' category comes second and the tools move along.
    Settings::cheatsEnabled = 1;
    frames(2);
    EXPECT_TRUE(shown("TBC1"));
    EXPECT_EQ(topLeft("TBC1").x, 2 * m + CategoryWindow);
    EXPECT_EQ(topLeft("DTool").x, 3 * m + 2 * CategoryWindow);

    // A running wave hides the bar (unless cheats are on), and so does the intro.
    session->waveState->active = true;
    frames(2);
    EXPECT_TRUE(shown("TBC0"));
    Settings::cheatsEnabled = 0;
    frames(2);
    EXPECT_FALSE(shown("TBC0"));
    session->waveState->active = false;
    CameraPath intro;
    Engine::cameraPath = &intro;
    intro.playing = true;
    frames(2);
    EXPECT_FALSE(shown("TBC0"));
    EXPECT_FALSE(shown("##sessionUiWallet"));
    EXPECT_TRUE(shown("##introSkip"));
    Engine::cameraPath = nullptr;
    frames(2);
    EXPECT_TRUE(shown("TBC0"));
}

TEST_F(PanelsTest, TimeControlsAndStartingAWave)
{
    using namespace PanelLayout;
    EXPECT_EQ(topLeft("##sessionUiTime").x, 0.0f);
    EXPECT_EQ(topLeft("##sessionUiWallet").x, Width * 0.5f - 100.0f);
    EXPECT_EQ(topLeft("##sessionUiWave").x, Width - 200.0f);
    // Pause, x1, x2, x4 from the left.
    const f32 speeds[] = {0, 1, 2, 4};
    for (int i : {3, 0, 2, 1}) {
        clickAt(ImVec2(TimeIconInset + TimeIcon * (static_cast<f32>(i) + 0.5f), TimeIconInset + TimeIcon * 0.5f));
        EXPECT_EQ(static_cast<f32>(gameSpeed()), speeds[i]);
    }

    WaveState& wave = *session->waveState;
    ASSERT_TRUE(clickItem(ImGui::FindWindowByName("##sessionUiWave"), "Start wave 1"));
    EXPECT_TRUE(wave.active.load());
    EXPECT_EQ(wave.normalLeft.load(), 10);
    EXPECT_EQ(wave.heavyLeft.load(), 0);
    EXPECT_FLOAT_EQ(wave.spawnRate.load(), 10.0f / 600.0f);
    EXPECT_FALSE(find(ImGui::FindWindowByName("##sessionUiWave"), "Start wave 1")) << "the button is gone";
    EXPECT_FALSE(shown("TBC0"));
}

TEST_F(PanelsTest, DetailPopupSellsOncePricesTheCastleAndLetsGo)
{
    std::atomic<i32>& money = *session->money;
    std::shared_ptr<BuildingInstance> wall = select(BuildingTypeWall, {100, 3, 100});
    frames(2);
    ImGuiWindow* popup = openPopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->Size.x, PanelLayout::DetailWidth);
    EXPECT_NEAR(popup->Pos.x + popup->Size.x * 0.5f, Width * 0.5f, 1.0f) << "centred";

    // An undamaged wall has no "Repair"; its upgrade costs the next level's price.
    EXPECT_FALSE(find(popup, "Repair (20$)"));
    ASSERT_TRUE(clickItem(popup, "Upgrade (150$)"));
    EXPECT_EQ(wall->level.load(), 1u);
    EXPECT_EQ(money.load(), 4850);

    // Damaged and sold: two clicks before the next tick pay once.
    wall->applyDamage(100);
    std::optional<ImVec2> sell = find(openPopup(), "Sell (200$)");
    ASSERT_TRUE(sell);
    clickAt(*sell);
    clickAt(*sell);
    EXPECT_TRUE(wall->destroyPending.load());
    EXPECT_EQ(money.load(), 4850 + 200);
    grounds->manager->update(1);
    frame();
    EXPECT_EQ(buildingSelection.instance, nullptr) << "the building went, the pop-up let it go";
    EXPECT_EQ(openPopup(), nullptr);

    // The castle: no "Sell", and its repair price is a fifth of its value.
    std::shared_ptr<BuildingInstance> castle = select(BuildingTypeCastle, {508, 3, 508});
    castle->applyDamage(1000);
    frame();
    EXPECT_FALSE(find(openPopup(), "Sell (2000$)"));
    ASSERT_TRUE(clickItem(openPopup(), "Repair (500$)"));
    EXPECT_EQ(castle->health.load(), 5000);
    EXPECT_EQ(money.load(), 5050 - 500);

    // During a wave only name, health and stats show.
    session->waveState->active = true;
    frame();
    EXPECT_FALSE(find(openPopup(), "Upgrade (150$)"));
    session->waveState->active = false;

    // Escape closes it and lets the building go.
    escapeDown = true;
    frame();
    escapeDown = false;
    frame();
    EXPECT_EQ(buildingSelection.instance, nullptr);
    EXPECT_EQ(openPopup(), nullptr);
    EXPECT_EQ(Ui::currentMenuState(), MenuStateInGame) << "the press closed the pop-up, not opened the pause menu";

    // A click elsewhere closes it and lets go as well.
    select(BuildingTypeWall, {200, 3, 200});
    ASSERT_NE(openPopup(), nullptr);
    clickAt(ImVec2(20.0f, Height * 0.5f));
    EXPECT_EQ(openPopup(), nullptr);
    EXPECT_EQ(buildingSelection.instance, nullptr);
}

TEST_F(PanelsTest, EndDialogsContinueOrExitAfterTheFrame)
{
    session->state = SessionLost;
    frames(2);
    ASSERT_TRUE(shown("GameOver"));
    ASSERT_TRUE(clickItem(ImGui::FindWindowByName("GameOver"), "Continue"));
    EXPECT_EQ(session->state.load(), static_cast<u32>(SessionPlayingOn));
    frames(2);
    EXPECT_FALSE(shown("GameOver")) << "the dialog does not come back";

    session->state = SessionWon;
    frames(2);
    ASSERT_TRUE(shown("GameWon"));
    // "Exit" ends the game once the frame is built; the main menu follows.
    buildingSelection.instance = grounds->place(BuildingTypeWall, {300, 3, 300});
    grounds->manager->destroyAll();
    world->buildingManager = nullptr;
    ASSERT_TRUE(clickItem(ImGui::FindWindowByName("GameWon"), "Exit"));
    EXPECT_EQ(world, nullptr);
    EXPECT_EQ(gameSession, nullptr);
    EXPECT_EQ(Engine::gameState, static_cast<u32>(GameStateMainMenu));
    EXPECT_EQ(buildingSelection.instance, nullptr) << "the teardown let the selection go";
    frame();
    EXPECT_EQ(Ui::currentMenuState(), MenuStateMainMenu);
}

TEST_F(PanelsTest, AClickLandingOnAPanelIsTheInterfacesInTheFrameItLands)
{
    // A wall picked, the pointer on the ground in the middle of the screen: the world
    // owns the mouse.
    toolMode = ToolModePlace;
    toolSelection = {ToolCategoryBuildings, BuildingTypeWall};
    const ImVec2 ground(Width * 0.5f, Height * 0.5f);
    mouse = ground;
    frames(2);
    ASSERT_EQ(Ui::uiOwnsMouse, 0);

    // The pointer reaches a panel and presses within one frame: at the start of that
    // frame, where the world's tools act, the interface owns the mouse already.
    for (const char* panel : {"TBC0", "DTool", "RTool", "UTool", "##sessionUiTime", "##sessionUiWallet",
                              "##sessionUiWave"}) {
        ASSERT_TRUE(shown(panel)) << panel;
        const ImVec2 target = centreOf(panel);
        Engine::input->beginFrame(target.x, target.y);
        Ui::claimMouse(target.x, target.y);
        EXPECT_EQ(Ui::uiOwnsMouse, 1) << panel;
        // Back on the ground in the next frame: the world's again at once.
        Ui::claimMouse(ground.x, ground.y);
        EXPECT_EQ(Ui::uiOwnsMouse, 0) << panel;
    }

    // The click itself goes to the button.
    mouse = centreOf("DTool");
    mouseDown = true;
    frame();
    EXPECT_EQ(Ui::uiOwnsMouse, 1);
    mouseDown = false;
    frame();
    EXPECT_EQ(toolMode, ToolModeSell);

    // A press that began on a button stays the interface's while it is dragged off it.
    mouseDown = true;
    frame();
    mouse = ground;
    Ui::claimMouse(mouse.x, mouse.y);
    EXPECT_EQ(Ui::uiOwnsMouse, 1);
    frame();
    mouseDown = false;
    frame();
    frame();
    EXPECT_EQ(Ui::uiOwnsMouse, 0);

    // A message a preview left for this frame does not follow the pointer onto a panel.
    Ui::showMessage("Placement is invalid!");
    mouse = centreOf("TBC0");
    frame();
    EXPECT_FALSE(Ui::uiMessage->show);
    ImGuiWindow* tooltip = ImGui::FindWindowByName("##Tooltip_00");
    EXPECT_TRUE(tooltip == nullptr || !tooltip->Active);
}

TEST_F(PanelsTest, TheToolsMessageShowsForOneFrame)
{
    Ui::showMessage("Not enough money!");
    frame();
    EXPECT_FALSE(Ui::uiMessage->show);
    ImGuiWindow* tooltip = ImGui::FindWindowByName("##Tooltip_00");
    ASSERT_NE(tooltip, nullptr);
    EXPECT_TRUE(tooltip->Active);
    frame();
    EXPECT_FALSE(tooltip->Active);
}

TEST_F(PanelsTest, ToolBarTooltipsNameTheButtonOnceThePointerHasRested)
{
    Settings::cheatsEnabled = 1;
    frames(2);
    const struct {
        const char* window;
        const char* tooltip;
    } buttons[] = {{"TBC0", "Buildings"}, {"TBC1", "[Cheatmode] Enemies"}, {"DTool", "Sell"}, {"RTool", "Repair"},
                   {"UTool", "Upgrade"}};
    for (const auto& button : buttons) {
        ASSERT_TRUE(shown(button.window)) << button.window;
        restOn(ImVec2(-1000.0f, -1000.0f), 0.1f);
        restOn(centreOf(button.window), 0.3f);
        EXPECT_EQ(glyphsOf("##Tooltip_00"), "") << button.window << ": not before the hover delay";
        restOn(centreOf(button.window), 0.2f);
        EXPECT_EQ(glyphsOf("##Tooltip_00"), glyphs(button.tooltip)) << button.window;
    }
}

TEST_F(PanelsTest, DetailPopupShowsTheLastLevelInYellowAndWhatCannotBePaidInRed)
{
    const ImU32 yellow = IM_COL32(255, 255, 0, 255);
    const ImU32 red = IM_COL32(255, 0, 0, 255);
    std::atomic<i32>& money = *session->money;
    std::shared_ptr<BuildingInstance> wall = select(BuildingTypeWall, {100, 3, 100});
    frames(2);
    const std::string popup = popupName();
    ASSERT_NE(popup, "");
    EXPECT_EQ(glyphsOf(popup.c_str(), red), "") << "all can be paid";

    // Too little money for the upgrade: its label is red, and only its label.
    money = 149;
    frame();
    EXPECT_EQ(glyphsOf(popup.c_str(), red), glyphs("Upgrade (150$)"));
    // Damaged as well: the repair's label too (a sale always pays).
    money = 19;
    wall->applyDamage(100);
    frame();
    EXPECT_EQ(glyphsOf(popup.c_str(), red), glyphs("Upgrade (150$)Repair (20$)"));
    EXPECT_EQ(glyphsOf(popup.c_str(), yellow), "");

    // At the last level: the note in yellow in place of the upgrade.
    money = 5000;
    wall->upgrade();
    wall->upgrade();
    frame();
    EXPECT_EQ(glyphsOf(popup.c_str(), yellow), glyphs("Max level already reached!"));
    EXPECT_EQ(glyphsOf(popup.c_str()).find(glyphs("Upgrade (")), std::string::npos);

    // With cheats everything can be paid.
    Settings::cheatsEnabled = 1;
    money = 0;
    wall->applyDamage(100);
    frames(2);
    ASSERT_NE(popupName(), "") << "the enemies' category appearing leaves the pop-up open";
    EXPECT_NE(glyphsOf(popup.c_str()).find(glyphs("Repair (")), std::string::npos);
    EXPECT_EQ(glyphsOf(popup.c_str(), red), "");
}

// The tool bar coming back at the end of a wave leaves the pop-up of the building
// selected during the wave open.
TEST_F(PanelsTest, TheDetailPopupStaysOpenWhenTheToolBarComesBack)
{
    session->waveState->active = true;
    frames(2);
    ASSERT_FALSE(shown("TBC0"));
    std::shared_ptr<BuildingInstance> wall = select(BuildingTypeWall, {100, 3, 100});
    frames(2);
    ASSERT_NE(openPopup(), nullptr);
    session->waveState->active = false;
    frames(3);
    EXPECT_TRUE(shown("TBC0"));
    EXPECT_NE(openPopup(), nullptr);
    EXPECT_EQ(buildingSelection.instance, wall);
}

TEST_F(PanelsTest, EndDialogsNameTheLossAndTheWin)
{
    session->state = SessionLost;
    frames(2);
    EXPECT_NE(glyphsOf("GameOver").find(glyphs("Game over")), std::string::npos);
    EXPECT_NE(glyphsOf("GameOver").find(glyphs("Your main castle has been destroyed!")), std::string::npos);
    session->state = SessionWon;
    frames(2);
    const std::string won = glyphsOf("GameWon");
    EXPECT_NE(won.find(glyphs("Victory")), std::string::npos) << won;
    EXPECT_NE(won.find(glyphs("You completed wave 15!")), std::string::npos) << won;
}

// Sheets that are not loaded count as one cell, so a picture's top left texture
// coordinate is its (column, row) on the sheet.
TEST_F(PanelsTest, TheCategoryShowsTheSelectedKindsLogoAndTheSpeedAndToolInUseAreHighlighted)
{
    const auto categories = reinterpret_cast<ImTextureID>(static_cast<uintptr_t>(0x1000));
    const auto tools = reinterpret_cast<ImTextureID>(static_cast<uintptr_t>(0x2000));
    const auto speeds = reinterpret_cast<ImTextureID>(static_cast<uintptr_t>(0x3000));
    Ui::toolBarTextures->categoriesTexture = static_cast<DescriptorSet*>(categories);
    Ui::toolBarTextures->toolsTexture = static_cast<DescriptorSet*>(tools);
    Ui::timeControlsTexture->texture = static_cast<DescriptorSet*>(speeds);
    grounds->kinds[BuildingTypeMortar].logoIndex = {2, 1};
    auto only = [](const std::vector<ImVec2>& pictures) {
        return pictures.size() == 1 ? pictures.front() : ImVec2(-1.0f, -1.0f);
    };
    auto same = [](ImVec2 a, ImVec2 b) { return a.x == b.x && a.y == b.y; };
    frame();
    EXPECT_TRUE(same(only(picturesOf("TBC0", categories)), ImVec2(0.0f, 0.0f))) << "the buildings' icon";

    // Placing a mortar: its logo, one column right of its logo index.
    toolMode = ToolModePlace;
    toolSelection = {ToolCategoryBuildings, BuildingTypeMortar};
    frame();
    EXPECT_TRUE(same(only(picturesOf("TBC0", categories)), ImVec2(3.0f, 1.0f)));
    // The enemies are placed from their own category: the icon again.
    toolSelection = {ToolCategoryEnemies, 0};
    frame();
    EXPECT_TRUE(same(only(picturesOf("TBC0", categories)), ImVec2(0.0f, 0.0f)));
    toolMode = ToolModeSell;
    toolSelection = {ToolCategoryBuildings, BuildingTypeMortar};
    frame();
    EXPECT_TRUE(same(only(picturesOf("TBC0", categories)), ImVec2(0.0f, 0.0f))) << "only while placing";

    // The tool in use in the second column of its row.
    EXPECT_TRUE(same(only(picturesOf("DTool", tools)), ImVec2(1.0f, 0.0f)));
    EXPECT_TRUE(same(only(picturesOf("RTool", tools)), ImVec2(0.0f, 1.0f)));
    EXPECT_TRUE(same(only(picturesOf("UTool", tools)), ImVec2(0.0f, 2.0f)));

    // Pause, 1, 2, 4 from the left; the one set in the second row.
    const u32 values[] = {0, 1, 2, 4};
    for (u32 set = 0; set < 4; set++) {
        setGameSpeed(values[set]);
        frame();
        const std::vector<ImVec2> pictures = picturesOf("##sessionUiTime", speeds);
        ASSERT_EQ(pictures.size(), 4u);
        for (u32 column = 0; column < 4; column++) {
            EXPECT_TRUE(same(pictures[column], ImVec2(static_cast<f32>(column), column == set ? 1.0f : 0.0f)))
                << "speed " << values[set] << ", picture " << column;
        }
    }
}
