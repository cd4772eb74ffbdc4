#include "Engine/Window/Input.h"
#include "Engine/Window/KeyboardState.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>

// Windows virtual-key codes as the game reads them.
TEST(KeyboardState, GlfwKeysMapToVirtualKeyCodes)
{
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_W), 0x57);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_A), 0x41);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_0), 0x30);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_SPACE), 0x20);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_ESCAPE), 0x1B);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_ENTER), 0x0D);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_LEFT), 0x25);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_UP), 0x26);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_RIGHT), 0x27);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_DOWN), 0x28);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_F1), 0x70);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_F8), 0x77);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_F12), 0x7B);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_LEFT_SHIFT), 0xA0);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_RIGHT_SHIFT), 0xA1);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_LEFT_CONTROL), 0xA2);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_RIGHT_CONTROL), 0xA3);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_KP_5), 0x65);
    EXPECT_EQ(virtualKeyOfGlfwKey(GLFW_KEY_WORLD_1), 0);

    // No two GLFW keys share a code, except the two Enter keys as on Windows.
    std::array<int, 256> owner{};
    for (int key = GLFW_KEY_SPACE; key <= GLFW_KEY_LAST; key++) {
        u8 code = virtualKeyOfGlfwKey(key);
        if (code == 0 || key == GLFW_KEY_KP_ENTER) continue;
        EXPECT_EQ(owner[code], 0) << "keys " << owner[code] << " and " << key << " share code " << int(code);
        owner[code] = key;
    }
}

namespace {

// Feeds Input a scripted key snapshot per frame.
struct ScriptedKeys {
    std::array<u8, 256> next{};

    ScriptedKeys()
    {
        setKeyboardStateSource([this](u8* keys) { std::memcpy(keys, next.data(), 256); });
    }
    ~ScriptedKeys() { setKeyboardStateSource({}); }
    void hold(u8 key) { next[key] = 0x80; }
    void release(u8 key) { next[key] = 0; }
};

} // namespace

TEST(Input, PressedMeansDownNowAndUpLastFrame)
{
    ScriptedKeys script;
    Input input(nullptr);

    // The first frame: a key held from the start counts as pressed, nothing else does.
    script.hold(Key::Escape);
    input.beginFrame(10, 20);
    EXPECT_TRUE(input.isDown(Key::Escape));
    EXPECT_TRUE(input.pressed(Key::Escape));
    EXPECT_FALSE(input.pressed(Key::Space));

    // Still held: down, but no longer pressed this frame.
    input.beginFrame(10, 20);
    EXPECT_TRUE(input.isDown(Key::Escape));
    EXPECT_FALSE(input.pressed(Key::Escape));

    script.release(Key::Escape);
    script.hold(Key::MouseRight);
    input.beginFrame(15, 18);
    EXPECT_FALSE(input.isDown(Key::Escape));
    EXPECT_TRUE(input.pressed(Key::MouseRight));
    EXPECT_FLOAT_EQ(input.mouseDeltaX(), 5);
    EXPECT_FLOAT_EQ(input.mouseDeltaY(), -2);
}

TEST(Input, FirstFrameHasNoPressesAndEscapeHandledIsClearedEveryFrame)
{
    ScriptedKeys script;
    Input input(nullptr);
    input.beginFrame(0, 0);
    for (int key = 0; key < 256; key++) {
        EXPECT_FALSE(input.pressed(static_cast<u8>(key)));
    }
    input.escapeHandled = 1;
    input.beginFrame(0, 0);
    EXPECT_EQ(input.escapeHandled, 0);
}

TEST(Input, FreeCursorFollowsOnlyWhileNotCaptured)
{
    ScriptedKeys script;
    Input input(nullptr);
    input.beginFrame(100, 200);
    EXPECT_FLOAT_EQ(input.freeCursorX, 100);
    input.cursorCaptured = 1;
    input.beginFrame(300, 400);
    EXPECT_FLOAT_EQ(input.freeCursorX, 100);
    EXPECT_FLOAT_EQ(input.freeCursorY, 200);
    input.cursorCaptured = 0;
    input.beginFrame(5, 6);
    EXPECT_FLOAT_EQ(input.freeCursorX, 5);
}
