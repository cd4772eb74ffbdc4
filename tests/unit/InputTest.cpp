#include "Engine/Window/ButtonPointer.h"
#include "Engine/Window/Input.h"
#include "Engine/Window/KeyboardState.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

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
    input.handleEscape("tools");
    input.beginFrame(0, 0);
    EXPECT_EQ(input.escapeHandled, 0);
    EXPECT_EQ(input.escapeHandler, nullptr);
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

namespace {

// The window system as the game sees it: what a poll of the keys reports (the key
// state GLFW keeps from the events it has handled) and the key and button events the
// window's callbacks note between two frames.
struct WindowEvents : ScriptedKeys {
    WindowEvents()
    {
        u8 stale[256];
        takeNotedPresses(stale); // events left over from elsewhere
        pointerForFrame({});
        pointerForFrame({});
    }
    void keyEvent(int glfwKey, int action)
    {
        noteGlfwKeyEvent(glfwKey, action);
        const u8 code = virtualKeyOfGlfwKey(glfwKey);
        if (code == 0) return; // the poll reports no key without a code
        if (action == GLFW_PRESS) hold(code);
        if (action == GLFW_RELEASE) release(code);
    }
    void buttonEvent(int glfwButton, int action, PointerPosition at = {})
    {
        noteGlfwButtonEvent(glfwButton, action, at);
        const u8 code = virtualKeyOfGlfwButton(glfwButton);
        if (code == 0) return;
        if (action == GLFW_PRESS) hold(code);
        if (action == GLFW_RELEASE) release(code);
    }
};

// Frames in which `key` reads as pressed, out of `count` frames from now on; `between`
// runs before each frame's snapshot with the frame's number.
template <typename Between>
std::vector<int> pressedFrames(Input& input, u8 key, int count, Between between)
{
    std::vector<int> frames;
    for (int frame = 0; frame < count; frame++) {
        between(frame);
        input.beginFrame(0, 0);
        if (input.pressed(key)) frames.push_back(frame);
    }
    return frames;
}

} // namespace

TEST(Input, PressAndReleaseBetweenTwoFramesIsPressedForExactlyOneFrame)
{
    WindowEvents events;
    Input input(nullptr);
    input.beginFrame(0, 0);

    // A tap of Escape and a click, each over before the next frame begins: the poll
    // sees both up, the events still count them, down for that one frame only.
    events.keyEvent(GLFW_KEY_ESCAPE, GLFW_PRESS);
    events.keyEvent(GLFW_KEY_ESCAPE, GLFW_RELEASE);
    events.buttonEvent(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS);
    events.buttonEvent(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE);
    input.beginFrame(0, 0);
    EXPECT_TRUE(input.pressed(Key::Escape));
    EXPECT_TRUE(input.isDown(Key::Escape));
    EXPECT_TRUE(input.pressed(Key::MouseLeft));
    EXPECT_TRUE(input.isDown(Key::MouseLeft));
    EXPECT_FALSE(input.pressed(Key::MouseRight));
    input.beginFrame(0, 0);
    EXPECT_FALSE(input.pressed(Key::Escape));
    EXPECT_FALSE(input.isDown(Key::Escape));
    EXPECT_FALSE(input.pressed(Key::MouseLeft));
    EXPECT_FALSE(input.isDown(Key::MouseLeft));

    // Over many frames: exactly the frame after the tap.
    auto tapBeforeFrame3 = [&](int frame) {
        if (frame == 3) {
            events.buttonEvent(GLFW_MOUSE_BUTTON_RIGHT, GLFW_PRESS);
            events.buttonEvent(GLFW_MOUSE_BUTTON_RIGHT, GLFW_RELEASE);
        }
    };
    EXPECT_EQ(pressedFrames(input, Key::MouseRight, 8, tapBeforeFrame3), (std::vector<int>{3}));

    // Let go and pressed again between two frames while held: a new press.
    events.keyEvent(GLFW_KEY_SPACE, GLFW_PRESS);
    input.beginFrame(0, 0);
    EXPECT_TRUE(input.pressed(Key::Space));
    events.keyEvent(GLFW_KEY_SPACE, GLFW_RELEASE);
    events.keyEvent(GLFW_KEY_SPACE, GLFW_PRESS);
    input.beginFrame(0, 0);
    EXPECT_TRUE(input.pressed(Key::Space));
    input.beginFrame(0, 0);
    EXPECT_FALSE(input.pressed(Key::Space));
    EXPECT_TRUE(input.isDown(Key::Space));
}

TEST(Input, KeyRepeatsAreNoPressesAndAHeldKeyIsOnePress)
{
    WindowEvents events;
    Input input(nullptr);

    // Escape held over ten frames, the window system repeating it from the third on:
    // pressed in the frame its press arrived, and never again.
    auto holdWithRepeats = [&](int frame) {
        if (frame == 1) events.keyEvent(GLFW_KEY_ESCAPE, GLFW_PRESS);
        if (frame >= 3 && frame < 10) {
            events.keyEvent(GLFW_KEY_ESCAPE, GLFW_REPEAT);
            events.keyEvent(GLFW_KEY_ESCAPE, GLFW_REPEAT);
        }
        if (frame == 10) events.keyEvent(GLFW_KEY_ESCAPE, GLFW_RELEASE);
    };
    EXPECT_EQ(pressedFrames(input, Key::Escape, 12, holdWithRepeats), (std::vector<int>{1}));
    EXPECT_FALSE(input.isDown(Key::Escape));

    // A repeat alone (its press long taken) never reads as a press, nor as down.
    events.keyEvent(GLFW_KEY_W, GLFW_REPEAT);
    input.beginFrame(0, 0);
    EXPECT_FALSE(input.pressed(Key::letter('w')));
    EXPECT_FALSE(input.isDown(Key::letter('w')));

    // The left button held across frames: one press; down every frame it is held.
    auto holdButton = [&](int frame) {
        if (frame == 2) events.buttonEvent(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS);
        if (frame == 6) events.buttonEvent(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE);
    };
    std::vector<int> down;
    auto holdAndWatch = [&](int frame) {
        holdButton(frame);
        if (frame > 0 && input.isDown(Key::MouseLeft)) down.push_back(frame - 1);
    };
    EXPECT_EQ(pressedFrames(input, Key::MouseLeft, 8, holdAndWatch), (std::vector<int>{2}));
    EXPECT_EQ(down, (std::vector<int>{2, 3, 4, 5}));
}

TEST(Input, NotedPressesCoverSidelessModifiersAndIgnoreUnknownCodes)
{
    WindowEvents events;
    Input input(nullptr);
    input.beginFrame(0, 0);
    events.keyEvent(GLFW_KEY_LEFT_SHIFT, GLFW_PRESS);
    events.keyEvent(GLFW_KEY_LEFT_SHIFT, GLFW_RELEASE);
    events.keyEvent(GLFW_KEY_UNKNOWN, GLFW_PRESS);
    events.keyEvent(GLFW_KEY_WORLD_1, GLFW_PRESS);
    events.buttonEvent(GLFW_MOUSE_BUTTON_8, GLFW_PRESS);
    input.beginFrame(0, 0);
    EXPECT_TRUE(input.pressed(Key::LeftShift));
    EXPECT_TRUE(input.pressed(Key::Shift));
    int pressedCount = 0;
    for (int key = 0; key < 256; key++) pressedCount += input.pressed(static_cast<u8>(key)) ? 1 : 0;
    EXPECT_EQ(pressedCount, 2);

    EXPECT_EQ(virtualKeyOfGlfwButton(GLFW_MOUSE_BUTTON_LEFT), Key::MouseLeft);
    EXPECT_EQ(virtualKeyOfGlfwButton(GLFW_MOUSE_BUTTON_RIGHT), Key::MouseRight);
    EXPECT_EQ(virtualKeyOfGlfwButton(GLFW_MOUSE_BUTTON_MIDDLE), Key::MouseMiddle);
    EXPECT_EQ(virtualKeyOfGlfwButton(-1), 0);
}

TEST(ButtonPointer, AClickIsReadWhereItWasMadeThoughThePointerMovedOnBeforeTheFrame)
{
    ButtonPointer pointer;
    const PointerPosition button{100, 50}, ground{400, 300}, elsewhere{600, 20};
    auto same = [](PointerPosition a, PointerPosition b) { return a.x == b.x && a.y == b.y; };

    // No button event: the pointer where it is.
    EXPECT_TRUE(same(pointer.forFrame(ground), ground));

    // Press and release on the button, then away, all before one frame: the frame
    // reads the press on the button (down), the next one the release there (up), and
    // only the one after that the pointer where it went.
    pointer.press(button);
    pointer.release(button);
    EXPECT_TRUE(same(pointer.forFrame(elsewhere), button));
    EXPECT_TRUE(same(pointer.forFrame(elsewhere), button));
    EXPECT_TRUE(same(pointer.forFrame(elsewhere), elsewhere));

    // Pressed in one frame, held, let go and moved away before the next: the press
    // frame and the release frame each read their own place.
    pointer.press(button);
    EXPECT_TRUE(same(pointer.forFrame(ground), button));
    EXPECT_TRUE(same(pointer.forFrame(ground), ground)); // held while moving: where it is
    pointer.release(elsewhere);
    EXPECT_TRUE(same(pointer.forFrame(ground), elsewhere));
    EXPECT_TRUE(same(pointer.forFrame(ground), ground));

    // A release ending an earlier hold, then a new press, in one frame: the press
    // counts, and no release is left for the next frame (the button is held).
    pointer.press(ground);
    pointer.forFrame(ground);
    pointer.release(ground);
    pointer.press(button);
    EXPECT_TRUE(same(pointer.forFrame(elsewhere), button));
    EXPECT_TRUE(same(pointer.forFrame(elsewhere), elsewhere));

    // Two clicks in one frame: the first press and the last release.
    pointer.press(button);
    pointer.release(ground);
    pointer.press(elsewhere);
    pointer.release(elsewhere);
    EXPECT_TRUE(same(pointer.forFrame(ground), button));
    EXPECT_TRUE(same(pointer.forFrame(ground), elsewhere));
    EXPECT_TRUE(same(pointer.forFrame(ground), ground));

    // A release carried to the next frame gives way to a new press in that frame.
    pointer.press(button);
    pointer.release(button);
    pointer.forFrame(ground);
    pointer.press(elsewhere);
    EXPECT_TRUE(same(pointer.forFrame(ground), elsewhere));
}

// Buttons acting between the same two frames, through the window's button events:
// each button's press and release are read where that button acted, the left
// button's before the others', and a button alone is read as the one record was.
TEST(ButtonPointer, EachButtonIsReadAtItsOwnPlaceWhenTwoActInOneFrame)
{
    const PointerPosition click{100, 50}, turn{400, 300}, now{600, 20};
    constexpr int Left = GLFW_MOUSE_BUTTON_LEFT, Right = GLFW_MOUSE_BUTTON_RIGHT, Middle = GLFW_MOUSE_BUTTON_MIDDLE;
    struct Event {
        int button;
        int action;
        PointerPosition at;
    };
    struct Case {
        const char* name;
        std::vector<Event> events; // before the first frame
        std::array<PointerPosition, 3> frames;
    };
    const Case cases[] = {
        {"left pressed, right let go", {{Left, GLFW_PRESS, click}, {Right, GLFW_RELEASE, turn}}, {click, now, now}},
        {"left clicked, middle let go",
         {{Left, GLFW_PRESS, click}, {Left, GLFW_RELEASE, click}, {Middle, GLFW_RELEASE, turn}},
         {click, click, now}},
        {"right clicked, then left clicked",
         {{Right, GLFW_PRESS, turn},
          {Right, GLFW_RELEASE, turn},
          {Left, GLFW_PRESS, click},
          {Left, GLFW_RELEASE, click}},
         {click, click, now}},
        {"right clicked during a left hold",
         {{Left, GLFW_PRESS, click}, {Right, GLFW_PRESS, turn}, {Right, GLFW_RELEASE, turn}},
         {click, turn, now}},
        {"right clicked alone", {{Right, GLFW_PRESS, turn}, {Right, GLFW_RELEASE, turn}}, {turn, turn, now}},
    };
    auto same = [](PointerPosition a, PointerPosition b) { return a.x == b.x && a.y == b.y; };
    for (const Case& c : cases) {
        pointerForFrame({}); // events left over from elsewhere
        pointerForFrame({});
        for (const Event& event : c.events) noteGlfwButtonEvent(event.button, event.action, event.at);
        for (size_t frame = 0; frame < c.frames.size(); frame++) {
            const PointerPosition read = pointerForFrame(now);
            EXPECT_TRUE(same(read, c.frames[frame]))
                << c.name << ", frame " << frame << ": read at " << read.x << ", " << read.y;
        }
    }
    u8 presses[256];
    takeNotedPresses(presses);
}
