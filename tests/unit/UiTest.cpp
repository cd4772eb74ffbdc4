// The interface frame built headless: a real interface-library context with the
// game's fonts in a built atlas, but no renderer and no window. Unbalanced Begin/End,
// Push/Pop or tab-bar calls stop the test binary through the library's own asserts.

#include "UiHeadless.h"

#include "Engine/Engine.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Window/Input.h"
#include "Engine/Window/KeyboardState.h"
#include "Game/Ui/EscapeKey.h"
#include "Game/Ui/MouseOwner.h"
#include "Game/Ui/Ui.h"
#include "Game/Ui/UiWidgets.h"
#include "Game/Ui/VideoModeItems.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr f32 DisplayWidth = 1600.0f;
constexpr f32 DisplayHeight = 900.0f;

std::vector<int> stack()
{
    std::lock_guard lock(Ui::menuStateMutex);
    return Ui::menuStateStack;
}

void setStack(std::vector<int> states)
{
    Ui::clearMenuStates();
    for (int state : states) Ui::pushMenuState(state);
}

// The items of a zero-separated list.
std::vector<std::string> itemsOf(const char* text)
{
    std::vector<std::string> items;
    for (const char* item = text; *item != '\0'; item += std::strlen(item) + 1) items.emplace_back(item);
    return items;
}

class UiFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ImGui::SetCurrentContext(headlessUiContext());
        Ui::createState();
        setStack({MenuStateMainMenu});
        Engine::gameState = GameStateMainMenu;
        Engine::quitRequested = 0;
        Engine::input = new Input(nullptr);
        setKeyboardStateSource([this](u8* keys) {
            std::memset(keys, 0, 256);
            if (escapeDown) keys[Key::Escape] = 0x80;
        });
        Settings::storeRecord(SettingsRecord{});
        Settings::monitorModes.clear();
        Settings::resolutionIndex = 0;
        Settings::refreshIndex = 0;
        mouse = ImVec2(-1000.0f, -1000.0f);
        // A frame or two so that new windows have their size and accept clicks.
        frames(2);
    }

    void TearDown() override
    {
        setKeyboardStateSource(nullptr);
        delete Engine::input;
        Engine::input = nullptr;
        Ui::destroyState();
        Ui::clearMenuStates();
        Engine::gameState = GameStateMainMenu;
        Engine::quitRequested = 0;
        Settings::monitorModes.clear();
        Settings::storeRecord(SettingsRecord{});
    }

    // One interface frame as the main loop runs it: input snapshot, then the windows,
    // then the library's Render (which the renderer calls in the game).
    void frame()
    {
        Engine::input->beginFrame(mouse.x, mouse.y);
        ImGuiIO& io = ImGui::GetIO();
        io.DisplaySize = ImVec2(DisplayWidth, DisplayHeight);
        io.DeltaTime = 1.0f / 60.0f;
        io.MousePos = mouse;
        io.MouseDown[0] = mouseDown;
        ImGui::NewFrame();
        Ui::drawWindows();
        ImGui::Render();
    }

    void frames(int count)
    {
        for (int i = 0; i < count; i++) frame();
    }

    // Escape goes down in one frame and up in the next.
    void pressEscape()
    {
        escapeDown = true;
        frame();
        escapeDown = false;
        frame();
    }

    void clickAt(ImVec2 point)
    {
        mouse = point;
        frame(); // hover
        mouseDown = true;
        frame();
        mouseDown = false;
        frame(); // a button fires on release
    }

    ImGuiWindow* window(const char* name)
    {
        ImGuiWindow* found = ImGui::FindWindowByName(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Centre of the k-th 40-px menu button of a fixed menu window.
    ImVec2 menuButton(const char* windowName, int k)
    {
        ImGuiWindow* w = window(windowName);
        const ImGuiStyle& style = ImGui::GetStyle();
        f32 y = w->Pos.y + style.WindowPadding.y + k * (UiLayout::MenuButtonHeight + style.ItemSpacing.y) +
                UiLayout::MenuButtonHeight * 0.5f;
        return ImVec2(w->Pos.x + w->Size.x * 0.5f, y);
    }

    // Centre of a tab of the settings window's tab bar.
    ImVec2 settingsTab(int index)
    {
        ImGuiWindow* w = window("Settings");
        ImGuiTabBar* bar = GImGui->TabBars.GetByKey(w->GetID("SettingTabs"));
        EXPECT_NE(bar, nullptr);
        const ImGuiTabItem& tab = bar->Tabs[index];
        return ImVec2(bar->BarRect.Min.x + tab.Offset + tab.Width * 0.5f, (bar->BarRect.Min.y + bar->BarRect.Max.y) * 0.5f);
    }

    // The "Back" button sits at the bottom left of the settings window.
    ImVec2 settingsBackButton()
    {
        ImGuiWindow* w = window("Settings");
        const ImGuiStyle& style = ImGui::GetStyle();
        return ImVec2(w->Pos.x + style.WindowPadding.x + 8.0f,
                      w->Pos.y + w->Size.y - style.WindowPadding.y - 10.0f);
    }

    // "Apply and save" ends at the bottom right of the settings window.
    ImVec2 settingsApplyAndSaveButton()
    {
        ImGuiWindow* w = window("Settings");
        const ImGuiStyle& style = ImGui::GetStyle();
        return ImVec2(w->Pos.x + w->Size.x - style.WindowPadding.x - 10.0f,
                      w->Pos.y + w->Size.y - style.WindowPadding.y - 10.0f);
    }

    bool escapeDown = false;
    bool mouseDown = false;
    ImVec2 mouse;
};

} // namespace

TEST_F(UiFrameTest, EveryMenuStateBuildsBalancedFrames)
{
    Ui::loadingProgress->stageText = nullptr; // before the loader wrote anything
    struct Screen {
        u32 gameState;
        std::vector<int> stack;
    };
    const Screen screens[] = {
        {GameStateMainMenu, {MenuStateMainMenu}},
        {GameStateMainMenu, {MenuStateMainMenu, MenuStateSettings}},
        {GameStateLoading, {MenuStateLoading}},
        {GameStatePlaying, {MenuStateInGame}},
        {GameStatePlaying, {MenuStateInGame, MenuStatePause}},
        {GameStatePlaying, {MenuStateInGame, MenuStatePause, MenuStateSettings}},
        {GameStatePlaying, {}},
    };
    Ui::debugFlags->debugWindowOpen = true;
    for (const Screen& screen : screens) {
        Engine::gameState = screen.gameState;
        setStack(screen.stack);
        frames(3);
        EXPECT_EQ(stack(), screen.stack);
    }

    // The loading window with the loader's progress, and with no stages at all.
    Engine::gameState = GameStateLoading;
    setStack({MenuStateLoading});
    Ui::loadingProgress->stageCount = 6;
    Ui::loadingProgress->currentStage = 2;
    Ui::loadingProgress->stageText = "Eroding terrain";
    Ui::loadingProgress->stageProgress = 0.4f;
    frames(2);
    EXPECT_NE(ImGui::FindWindowByName("Loading"), nullptr);
    Ui::loadingProgress->stageCount = 0;
    frames(2);
}

TEST_F(UiFrameTest, TheLoadingWindowShowsInTheFirstFrameItIsDrawnAtTheSizeOfItsContents)
{
    // A context of its own (with the game's fonts), in which the window is new, as in
    // the first game of a run.
    ImGuiContext* fresh = ImGui::CreateContext(ImGui::GetIO().Fonts);
    ImGui::SetCurrentContext(fresh);
    ImGui::GetIO().IniFilename = nullptr;
    Ui::loadingProgress->stageCount = 6;
    Ui::loadingProgress->currentStage = -1;
    Ui::loadingProgress->stageText = "";
    auto loadingFrame = [] {
        ImGuiIO& io = ImGui::GetIO();
        io.DisplaySize = ImVec2(DisplayWidth, DisplayHeight);
        io.DeltaTime = 1.0f / 60.0f;
        ImGui::NewFrame();
        Ui::drawLoadingWindow();
        ImGui::Render();
    };
    loadingFrame();
    ImGuiWindow* loading = ImGui::FindWindowByName("Loading");
    ASSERT_NE(loading, nullptr);
    EXPECT_FALSE(loading->Hidden) << "hidden in its first frame: a frame without it after \"New Game\"";
    EXPECT_GT(loading->Size.y, 0.0f);
    loadingFrame();
    // Its height is the one fitting its contents would give: nothing cut off, nothing
    // left over, centred on the screen.
    const ImGuiStyle& style = ImGui::GetStyle();
    EXPECT_FLOAT_EQ(loading->Size.y, loading->ContentSize.y + style.WindowPadding.y * 2.0f);
    EXPECT_FLOAT_EQ(loading->Size.x, UiLayout::MenuWidth);
    EXPECT_FLOAT_EQ(loading->Pos.y + loading->Size.y * 0.5f, DisplayHeight * 0.5f);
    ImGui::DestroyContext(fresh);
    ImGui::SetCurrentContext(headlessUiContext());
}

TEST_F(UiFrameTest, SettingsTabsAndListsWithAnyMonitorSetUp)
{
    setStack({MenuStateMainMenu, MenuStateSettings});
    Settings::fullscreenMode = 1;
    frames(2);
    // Every tab, each drawn for a few frames.
    for (int tab : {1, 2, 0}) {
        clickAt(settingsTab(tab));
        frames(2);
        ImGuiTabBar* bar = GImGui->TabBars.GetByKey(window("Settings")->GetID("SettingTabs"));
        EXPECT_EQ(bar->SelectedTabId, bar->Tabs[tab].ID) << "tab " << tab;
        EXPECT_EQ(stack(), (std::vector<int>{MenuStateMainMenu, MenuStateSettings}));
    }

    // No monitor at all (and a stale index): no lists to pick from, nothing breaks.
    Settings::monitorIndex = 3;
    Settings::resolutionIndex = 4;
    frames(2);
    EXPECT_EQ(Settings::resolutionIndex, 0);
    EXPECT_EQ(itemsOf(Ui::videoModeText), (std::vector<std::string>{"Native"}));

    // The virtual display's single mode at an unknown rate.
    Settings::monitorIndex = 0;
    Settings::monitorModes = {{{1920, 1080, {0}}}};
    Settings::resolutionIndex = 1;
    Settings::refreshIndex = 1;
    frames(2);
    EXPECT_EQ(itemsOf(Ui::videoModeText), (std::vector<std::string>{"Native", "0 Hz"}));

    // Stored indices beyond the lists are clamped to their last entries.
    Settings::monitorModes = {{{1280, 720, {60, 75}}, {1920, 1080, {60, 144}}}, {{800, 600, {60}}}};
    Settings::resolutionIndex = 9;
    Settings::refreshIndex = 9;
    frames(2);
    EXPECT_EQ(Settings::resolutionIndex, 2);
    EXPECT_EQ(Settings::refreshIndex, 2);
    EXPECT_EQ(itemsOf(Ui::videoModeText), (std::vector<std::string>{"Native", "60 Hz", "144 Hz"}));

    // Windowed: the resolution list is still built (and the index clamped), not shown.
    Settings::fullscreenMode = 0;
    Settings::resolutionIndex = 7;
    frames(2);
    EXPECT_EQ(Settings::resolutionIndex, 2);
    EXPECT_EQ(itemsOf(Ui::videoModeText), (std::vector<std::string>{"Native", "1280x720", "1920x1080"}));

    // More monitors than the list offers.
    Settings::fullscreenMode = 1;
    Settings::monitorModes.resize(7);
    Settings::monitorIndex = 6;
    frames(2);
}

TEST_F(UiFrameTest, AFailedSaveShowsInTheSettingsWindowUntilItIsLeft)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "brackenhold-ui-save-XXXXXX").string();
    const std::filesystem::path directory = mkdtemp(pattern.data());
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(directory);
    std::ofstream(Settings::FileName, std::ios::binary) << std::string(53, '\0');
    std::filesystem::permissions(Settings::FileName, std::filesystem::perms::owner_read);

    setStack({MenuStateMainMenu, MenuStateSettings});
    frames(2);
    const f32 height = window("Settings")->Size.y;
    testing::internal::CaptureStdout();
    clickAt(settingsApplyAndSaveButton());
    const std::string printed = testing::internal::GetCapturedStdout();
    frames(2);
    EXPECT_EQ(Ui::settingsSaveFailure(), "Unable to save settings to config.gcfg: the file is read-only");
    EXPECT_EQ(printed, Ui::settingsSaveFailure() + "\n");
    // The window grows by the lines that say so.
    EXPECT_GT(window("Settings")->Size.y, height + 20.0f);
    EXPECT_EQ(std::filesystem::file_size(Settings::FileName), 53u);

    // Leaving the window forgets it; a save that works says nothing.
    pressEscape();
    EXPECT_EQ(stack(), (std::vector<int>{MenuStateMainMenu}));
    EXPECT_EQ(Ui::settingsSaveFailure(), "");
    setStack({MenuStateMainMenu, MenuStateSettings});
    frames(2);
    EXPECT_EQ(window("Settings")->Size.y, height);
    std::filesystem::permissions(Settings::FileName, std::filesystem::perms::owner_all);
    clickAt(settingsApplyAndSaveButton());
    frames(2);
    EXPECT_EQ(Ui::settingsSaveFailure(), "");
    EXPECT_EQ(window("Settings")->Size.y, height);

    std::filesystem::current_path(previous);
    std::filesystem::remove_all(directory);
}

TEST_F(UiFrameTest, MainMenuButtons)
{
    ASSERT_EQ(stack(), (std::vector<int>{MenuStateMainMenu}));
    clickAt(menuButton("Main Menu", 1)); // "Settings"
    EXPECT_EQ(stack(), (std::vector<int>{MenuStateMainMenu, MenuStateSettings}));
    frames(2);
    clickAt(settingsBackButton());
    EXPECT_EQ(stack(), (std::vector<int>{MenuStateMainMenu}));
    EXPECT_EQ(Engine::quitRequested, 0);

    // "New Game" starts a world, which needs the GPU: the world's GPU and end-to-end
    // tests press it.

    clickAt(menuButton("Main Menu", 2)); // "Exit"
    EXPECT_EQ(Engine::quitRequested, 1);
}

TEST_F(UiFrameTest, MainMenuReturnsOnlyInTheMainMenuState)
{
    Engine::gameState = GameStatePlaying;
    setStack({});
    frames(2);
    EXPECT_TRUE(stack().empty());
    Engine::gameState = GameStateMainMenu;
    frame();
    EXPECT_EQ(stack(), (std::vector<int>{MenuStateMainMenu}));
}

TEST_F(UiFrameTest, PauseMenuButtons)
{
    Engine::gameState = GameStatePlaying;
    setStack({MenuStateInGame, MenuStatePause});
    frames(2);
    clickAt(menuButton("Menu", 1)); // "Settings"
    EXPECT_EQ(stack(), (std::vector<int>{MenuStateInGame, MenuStatePause, MenuStateSettings}));
    frames(2);
    clickAt(settingsBackButton());
    EXPECT_EQ(stack(), (std::vector<int>{MenuStateInGame, MenuStatePause}));
    clickAt(menuButton("Menu", 0)); // "Continue"
    EXPECT_EQ(stack(), (std::vector<int>{MenuStateInGame}));

    setStack({MenuStateInGame, MenuStatePause});
    frames(2);
    clickAt(menuButton("Menu", 2)); // "Leave to main menu"
    EXPECT_TRUE(stack().empty());
}

TEST_F(UiFrameTest, EscapeIsTakenByOneHandlerInDrawingOrder)
{
    // Settings over the main menu: back to the main menu.
    setStack({MenuStateMainMenu, MenuStateSettings});
    pressEscape();
    EXPECT_EQ(stack(), (std::vector<int>{MenuStateMainMenu}));
    pressEscape(); // nothing below the main menu
    EXPECT_EQ(stack(), (std::vector<int>{MenuStateMainMenu}));

    // Playing: one press opens the pause menu, the next closes it.
    Engine::gameState = GameStatePlaying;
    setStack({MenuStateInGame});
    pressEscape();
    EXPECT_EQ(stack(), (std::vector<int>{MenuStateInGame, MenuStatePause}));
    pressEscape();
    EXPECT_EQ(stack(), (std::vector<int>{MenuStateInGame}));

    // Settings over the pause menu: the settings window takes the press, and the
    // pause menu below stays open.
    setStack({MenuStateInGame, MenuStatePause, MenuStateSettings});
    pressEscape();
    EXPECT_EQ(stack(), (std::vector<int>{MenuStateInGame, MenuStatePause}));

    // Held down, the key is one press.
    setStack({MenuStateInGame});
    escapeDown = true;
    frames(5);
    escapeDown = false;
    frame();
    EXPECT_EQ(stack(), (std::vector<int>{MenuStateInGame, MenuStatePause}));

    // Not playing: Escape opens no pause menu.
    Engine::gameState = GameStateMainMenu;
    setStack({MenuStateMainMenu});
    pressEscape();
    EXPECT_EQ(stack(), (std::vector<int>{MenuStateMainMenu}));
}

TEST(EscapeKey, FirstAskerTakesThePressOnce)
{
    Input input(nullptr);
    EXPECT_FALSE(Ui::takeEscapePress(input, "first")); // not down

    input.keys[Key::Escape] = 0x80;
    EXPECT_TRUE(Ui::takeEscapePress(input, "first"));
    EXPECT_EQ(input.escapeHandled, 1);
    EXPECT_STREQ(input.escapeHandler, "first");
    EXPECT_FALSE(Ui::takeEscapePress(input, "second")); // the next handler of the frame
    EXPECT_STREQ(input.escapeHandler, "first");

    // A press that a handler before the interface (the tools) already took.
    input.escapeHandled = 1;
    EXPECT_FALSE(Ui::takeEscapePress(input, "first"));

    // Down in the previous frame too: not a new press.
    input.escapeHandled = 0;
    input.previousKeys[Key::Escape] = 0x80;
    EXPECT_FALSE(Ui::takeEscapePress(input, "first"));
    EXPECT_EQ(input.escapeHandled, 0);
}

TEST_F(UiFrameTest, InterfaceOwnsTheMouseOnlyOverItsWindows)
{
    mouse = ImVec2(5.0f, 5.0f); // empty screen corner
    frames(2);
    EXPECT_EQ(Ui::uiOwnsMouse, 0);
    mouse = menuButton("Main Menu", 1);
    frames(2);
    EXPECT_EQ(Ui::uiOwnsMouse, 1);
    setStack({});
    Engine::gameState = GameStatePlaying;
    frames(2);
    EXPECT_EQ(Ui::uiOwnsMouse, 0);
}

TEST_F(UiFrameTest, PointerOverInterfaceMeansOnAWindowShownInTheLastFrame)
{
    // The main menu: its rectangle is the interface's, the screen around it is not.
    ImGuiWindow* menu = window("Main Menu");
    const ImVec2 min = menu->Pos;
    const ImVec2 max(menu->Pos.x + menu->Size.x, menu->Pos.y + menu->Size.y);
    EXPECT_TRUE(Ui::pointerOverInterface(min.x + 1.0f, min.y + 1.0f));
    EXPECT_TRUE(Ui::pointerOverInterface(max.x - 1.0f, max.y - 1.0f));
    EXPECT_FALSE(Ui::pointerOverInterface(min.x - 1.0f, min.y + 10.0f));
    EXPECT_FALSE(Ui::pointerOverInterface(max.x + 1.0f, max.y - 10.0f));
    EXPECT_FALSE(Ui::pointerOverInterface(5.0f, 5.0f));

    // Within a frame being built: the library's implicit window (never shown) owns
    // nothing, a tooltip owns nothing, a window built so far does.
    Engine::input->beginFrame(mouse.x, mouse.y);
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(DisplayWidth, DisplayHeight);
    io.MousePos = ImVec2(200.0f, 200.0f);
    ImGui::NewFrame();
    Ui::drawWindows();
    ImGui::SetTooltip("A tip");
    ImGuiWindow* implicit = ImGui::FindWindowByName("Debug##Default");
    ASSERT_NE(implicit, nullptr);
    EXPECT_TRUE(implicit->Active);
    EXPECT_FALSE(Ui::pointerOverInterface(implicit->Pos.x + 10.0f, implicit->Pos.y + 10.0f));
    EXPECT_TRUE(Ui::pointerOverInterface(min.x + 1.0f, min.y + 1.0f));
    ImGui::Render();
    // (A tooltip measures itself, hidden, in the first frame it shows.)
    ImGui::NewFrame();
    Ui::drawWindows();
    ImGui::SetTooltip("A tip");
    ImGui::Render();
    ImGuiWindow* tip = ImGui::FindWindowByName("##Tooltip_00");
    ASSERT_NE(tip, nullptr);
    ASSERT_TRUE(tip->Active);
    ASSERT_FALSE(tip->Hidden);
    EXPECT_FALSE(Ui::pointerOverInterface(tip->Pos.x + tip->Size.x * 0.5f, tip->Pos.y + tip->Size.y * 0.5f));

    // A window shown for the first time is hidden in that frame while it takes its
    // size: it owns its place from the frame in which it is seen.
    auto fresh = [&] {
        ImGui::NewFrame();
        ImGui::SetNextWindowPos(ImVec2(40.0f, 600.0f));
        ImGui::Begin("Fresh", nullptr, ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings);
        ImGui::TextUnformatted("Just opened");
        ImGui::End();
        ImGui::Render();
    };
    fresh();
    EXPECT_FALSE(Ui::pointerOverInterface(45.0f, 605.0f));
    fresh();
    EXPECT_TRUE(Ui::pointerOverInterface(45.0f, 605.0f));

    // A window not built in the last frame owns nothing any more.
    Engine::gameState = GameStatePlaying;
    setStack({});
    frame();
    EXPECT_FALSE(Ui::pointerOverInterface(min.x + 1.0f, min.y + 1.0f));
    EXPECT_FALSE(Ui::pointerOverInterface(45.0f, 605.0f));

    // The claim at the start of a frame: the cursor on a window, or an item held.
    setStack({MenuStateMainMenu});
    Engine::gameState = GameStateMainMenu;
    frames(2);
    Ui::claimMouse(min.x + 1.0f, min.y + 1.0f);
    EXPECT_EQ(Ui::uiOwnsMouse, 1);
    Ui::claimMouse(5.0f, 5.0f);
    EXPECT_EQ(Ui::uiOwnsMouse, 0);
}

TEST_F(UiFrameTest, DebugWindowSmoothsTheFrameTime)
{
    Ui::debugFlags->debugWindowOpen = true;
    Engine::frameTimeMs = 20.0f;
    frames(400);
    // The smoothed time settles at the frame time.
    EXPECT_NEAR(Ui::debugFlags->smoothedFrameTimeMs, 20.0f, 0.05f);
    EXPECT_EQ(Ui::framerateOf(Ui::debugFlags->smoothedFrameTimeMs), 50);
    ASSERT_NE(ImGui::FindWindowByName("Debug"), nullptr);
    Engine::frameTimeMs = 0.0f;
    Ui::debugFlags->debugWindowOpen = false;
    frames(2);
    EXPECT_FALSE(ImGui::FindWindowByName("Debug")->Active);
}

TEST_F(UiFrameTest, MessageIsKeptUntilShown)
{
    Ui::showMessage("Not enough money");
    EXPECT_TRUE(Ui::uiMessage->show);
    EXPECT_EQ(Ui::uiMessage->text, "Not enough money");
}

TEST(UiWidgets, FramerateAndBudgetColours)
{
    EXPECT_EQ(Ui::framerateOf(16.666668f), 60);
    EXPECT_EQ(Ui::framerateOf(0.0f), 0);
    EXPECT_EQ(Ui::framerateOf(-1.0f), 0);
    EXPECT_EQ(Ui::framerateOf(std::numeric_limits<f32>::quiet_NaN()), 0);
    EXPECT_EQ(Ui::framerateOf(1e-30f), 2147483647); // no overflow into nonsense

    auto same = [](ImVec4 a, ImVec4 b) { return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w; };
    EXPECT_TRUE(same(Ui::timeBarColour(0.0f), UiColours::WithinBudget));
    EXPECT_TRUE(same(Ui::timeBarColour(0.74f), UiColours::WithinBudget));
    EXPECT_TRUE(same(Ui::timeBarColour(0.75f), UiColours::NearBudget));
    EXPECT_TRUE(same(Ui::timeBarColour(0.99f), UiColours::NearBudget));
    EXPECT_TRUE(same(Ui::timeBarColour(1.0f), UiColours::OverBudget));
    EXPECT_TRUE(same(Ui::timeBarColour(7.0f), UiColours::OverBudget));
}

TEST(VideoModeItems, ZeroSeparatedListsThatNeverOverflow)
{
    std::vector<MonitorMode> modes = {{1280, 720, {60, 75}}, {1920, 1080, {0}}};
    char text[64];
    std::memset(text, 'x', sizeof(text));
    EXPECT_EQ(buildResolutionItems(modes, text, sizeof(text)), 2u);
    EXPECT_EQ(std::string(text, 27), std::string("Native\0" "1280x720\0" "1920x1080\0\0", 27));

    EXPECT_EQ(buildRefreshItems(modes[0], text, sizeof(text)), 2u);
    EXPECT_EQ(itemsOf(text), (std::vector<std::string>{"Native", "60 Hz", "75 Hz"}));
    EXPECT_EQ(buildRefreshItems(MonitorMode{}, text, sizeof(text)), 0u);
    EXPECT_EQ(itemsOf(text), (std::vector<std::string>{"Native"}));

    // Too little room: whole items only, always closed by the double zero.
    char small[20];
    std::memset(small, 'x', sizeof(small));
    EXPECT_EQ(buildResolutionItems(modes, small, sizeof(small)), 1u); // "Native" + "1280x720" = 16 + 1
    EXPECT_EQ(itemsOf(small), (std::vector<std::string>{"Native", "1280x720"}));
    EXPECT_EQ(small[16], '\0');
    EXPECT_EQ(small[17], 'x'); // nothing written beyond the list

    char tiny[7]; // "Native" needs 8 bytes with both zeros
    std::memset(tiny, 'x', sizeof(tiny));
    EXPECT_EQ(buildResolutionItems(modes, tiny, sizeof(tiny)), 0u);
    EXPECT_EQ(tiny[0], '\0');
    EXPECT_EQ(buildResolutionItems(modes, nullptr, 0), 0u);

    // Thousands of modes fill the interface's buffer without running past it.
    std::vector<MonitorMode> many(10000, MonitorMode{12345, 67890, {}});
    std::vector<char> buffer(Ui::VideoModeTextSize + 16, 'x');
    size_t written = buildResolutionItems(many, buffer.data(), Ui::VideoModeTextSize);
    EXPECT_LT(written, many.size());
    EXPECT_EQ(buffer[Ui::VideoModeTextSize], 'x');
    EXPECT_EQ(itemsOf(buffer.data()).size(), written + 1);
}
