#include "InterfaceFixture.h"

#include "Engine/Engine.h"
#include "Engine/Ui/UiRenderer.h"
#include "Engine/Window/Window.h"

#include <GLFW/glfw3.h>
#include <backends/imgui_impl_glfw.h>
#include <imgui.h>

#include <sstream>

void InterfaceTest::SetUp()
{
    GpuTest::SetUp();
    if (HasFatalFailure()) {
        return;
    }
    uiRenderer = new UiRenderer();
    ImGui::GetIO().IniFilename = nullptr; // no imgui.ini next to the tests
    UiRenderer::uploadFonts();
}

void InterfaceTest::TearDown()
{
    if (ImGui::GetCurrentContext() != nullptr) {
        ImGui_ImplGlfw_Shutdown();
        ImGui::DestroyContext();
    }
    // The renderer's GPU objects are registered: the device's shutdown deletes them.
    delete uiRenderer;
    uiRenderer = nullptr;
    GpuTest::TearDown();
}

void InterfaceTest::beginInterfaceFrame()
{
    ImGui_ImplGlfw_NewFrame();
    ImGui::NewFrame();
}

bool InterfaceTest::waitForWindowSize(int width, int height)
{
    for (int i = 0; i < 100; i++) {
        glfwWaitEventsTimeout(0.01);
        if (Engine::window->width == width && Engine::window->height == height) {
            return true;
        }
    }
    return false;
}

int InterfaceTest::countLines(const std::string& text, const std::string& line)
{
    std::istringstream stream(text);
    std::string current;
    int count = 0;
    while (std::getline(stream, current)) {
        count += current == line ? 1 : 0;
    }
    return count;
}
