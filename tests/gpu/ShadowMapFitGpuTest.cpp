// Shadow qualities whose map the device cannot hold fall back to the largest that fits.

#include "GpuTest.h"

#include "Engine/Descriptor/DataSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Image/Image.h"
#include "Engine/Settings/Settings.h"
#include "World/Shadow/ShadowRenderer.h"

namespace {

class ShadowMapFitGpuTest : public GpuTest {
protected:
    ShadowMapFitGpuTest() : GpuTest({.swapChain = false}) {}

    void SetUp() override
    {
        GpuTest::SetUp();
        savedSize = Settings::shadowMapSize;
        savedQuality = Settings::shadowQuality;
    }

    void TearDown() override
    {
        delete shadows;
        Settings::shadowMapSize = savedSize;
        Settings::shadowQuality = savedQuality;
        GpuTest::TearDown();
    }

    // Runs `body` and returns what it printed.
    template <typename F> static std::string printedBy(F&& body)
    {
        testing::internal::CaptureStdout();
        body();
        return testing::internal::GetCapturedStdout();
    }

    ShadowRenderer* shadows = nullptr;
    i32 savedSize = 0;
    u32 savedQuality = 0;
};

} // namespace

TEST_F(ShadowMapFitGpuTest, UltraFallsBackToTheLargestQualityThatFits)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    const std::string ultraProblem = imageCreationProblem(device, Image2DArray::createInfo(12288));
    if (ultraProblem.empty() || !imageCreationProblem(device, Image2DArray::createInfo(8192)).empty()) {
        GTEST_SKIP() << "this device holds the Ultra shadow map, or not even the High one";
    }

    Settings::shadowQuality = 3;
    Settings::shadowMapSize = 12288;
    std::string printed = printedBy([&] { shadows = new ShadowRenderer(); });
    EXPECT_EQ(printed, shadowFallbackLine(12288, 8192, ultraProblem) + "\n");
    EXPECT_EQ(shadows->map->extent.width, 8192u);
    EXPECT_EQ(shadows->map->extent.height, 8192u);
    EXPECT_EQ(shadows->mapBinding->view, shadows->map->arrayView);
    // The settings name what is drawn: the casters' viewports read the size.
    EXPECT_EQ(Settings::shadowMapSize, 8192);
    EXPECT_EQ(Settings::shadowQuality, 2u);

    // Choosing Ultra again while playing keeps the map there is and says so again.
    Image2DArray* high = shadows->map;
    printed = printedBy([&] { shadows->resizeMap(12288); });
    EXPECT_EQ(printed, shadowFallbackLine(12288, 8192, ultraProblem) + "\n");
    EXPECT_EQ(shadows->map, high);
    EXPECT_EQ(device->deferredCount(), 0u);

    // A quality that fits replaces the map silently.
    printed = printedBy([&] { shadows->resizeMap(4096); });
    EXPECT_EQ(printed, "");
    EXPECT_EQ(shadows->map->extent.width, 4096u);
    EXPECT_EQ(shadows->mapBinding->view, shadows->map->arrayView);

    // A side beyond the device's images falls back the same way, before Vulkan sees it.
    printed = printedBy([&] { shadows->resizeMap(65536); });
    EXPECT_NE(printed.find("Shadow quality 65536 x 65536 does not fit this device (65536 x 65536 is larger than "
                           "the device's largest image"),
              std::string::npos)
        << printed;
    EXPECT_NE(printed.find("using High (8192 x 8192)"), std::string::npos) << printed;
    EXPECT_EQ(shadows->map->extent.width, 8192u);
    device->deleteDeferred();
}
