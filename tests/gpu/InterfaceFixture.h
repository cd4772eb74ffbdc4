#pragma once

#include "GpuTest.h"

#include <string>

// The GPU fixture plus what a frame needs: the swap chain on the test window, the
// descriptor pool and the interface renderer with its font atlas, as start-up makes them.
class InterfaceTest : public GpuTest {
protected:
    InterfaceTest() : GpuTest({.frameUniforms = false}) {}

    void SetUp() override;
    void TearDown() override;

    // Begins an interface frame (platform back-end and library).
    static void beginInterfaceFrame();
    // Pumps window events until the window reports the size (or a second passes).
    static bool waitForWindowSize(int width, int height);
    // Lines of `text` equal to `line`.
    static int countLines(const std::string& text, const std::string& line);
};
