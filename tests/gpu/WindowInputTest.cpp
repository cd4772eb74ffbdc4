// The window's key, button and cursor callbacks as GLFW calls them while it handles the
// window's events in order: presses are noted for the next key snapshot, and a button
// event is placed where the cursor events had brought the pointer.

#include "GpuTest.h"

#include "Engine/Engine.h"
#include "Engine/Window/Input.h"
#include "Engine/Window/KeyboardState.h"
#include "Engine/Window/Window.h"

#include <GLFW/glfw3.h>

namespace {

class WindowInputTest : public GpuTest {
protected:
    WindowInputTest() : GpuTest({.swapChain = false, .frameUniforms = false}) {}

    void SetUp() override
    {
        GpuTest::SetUp();
        if (HasFatalFailure()) return;
        handle = Engine::window->handle;
        forgetEvents();
    }

    // Events noted by earlier tests (or by the window system) are dropped.
    static void forgetEvents()
    {
        u8 presses[256];
        takeNotedPresses(presses);
        pointerForFrame({});
        pointerForFrame({});
    }

    GLFWwindow* handle = nullptr;
};

} // namespace

TEST_F(WindowInputTest, ButtonEventsArePlacedWhereTheCursorEventsLeftThePointer)
{
    // The pointer reached (120, 80) and clicked, then went on to (400, 300), all before
    // the next frame: the frame reads the click where it was made.
    Window::onCursorPos(handle, 120.0, 80.0);
    Window::onMouseButton(handle, GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 0);
    Window::onMouseButton(handle, GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 0);
    Window::onCursorPos(handle, 400.0, 300.0);
    PointerPosition at = pointerForFrame({400.0f, 300.0f});
    EXPECT_EQ(at.x, 120.0f);
    EXPECT_EQ(at.y, 80.0f);
    Engine::input->beginFrame(at.x, at.y);
    EXPECT_TRUE(Engine::input->pressed(Key::MouseLeft));
    at = pointerForFrame({400.0f, 300.0f});
    EXPECT_EQ(at.x, 120.0f) << "the release is read where it happened too";
    EXPECT_EQ(pointerForFrame({400.0f, 300.0f}).x, 400.0f);

    // Mouse-look reports made-up positions; when it ends, the window system puts the
    // cursor back without an event. A click then is placed where the cursor is, not at
    // the last made-up position.
    glfwSetInputMode(handle, GLFW_CURSOR, GLFW_CURSOR_DISABLED);
    Window::onCursorPos(handle, 9000.0, -7000.0);
    glfwSetInputMode(handle, GLFW_CURSOR, GLFW_CURSOR_NORMAL);
    double x = 0, y = 0;
    glfwGetCursorPos(handle, &x, &y);
    Window::onMouseButton(handle, GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 0);
    at = pointerForFrame({-1.0f, -1.0f});
    EXPECT_EQ(at.x, static_cast<f32>(x));
    EXPECT_EQ(at.y, static_cast<f32>(y));
    Window::onMouseButton(handle, GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 0);
    forgetEvents();
}

TEST_F(WindowInputTest, KeyCallbacksNotePressesButNotRepeats)
{
    Window::onKey(handle, GLFW_KEY_ESCAPE, 0, GLFW_PRESS, 0);
    Window::onKey(handle, GLFW_KEY_ESCAPE, 0, GLFW_RELEASE, 0);
    Window::onKey(handle, GLFW_KEY_ENTER, 0, GLFW_REPEAT, 0);
    u8 presses[256];
    takeNotedPresses(presses);
    EXPECT_EQ(presses[Key::Escape], 0x80);
    EXPECT_EQ(presses[Key::Enter], 0);

    // The callbacks are the window's: GLFW calls them (through the interface's
    // back-end, when there is one).
    EXPECT_NE(glfwSetKeyCallback(handle, nullptr), nullptr);
    glfwSetKeyCallback(handle, Window::onKey);
}
