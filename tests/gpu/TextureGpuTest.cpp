#include "GpuTest.h"
#include "Offscreen.h"
#include "Readback.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Image/Dds.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

class TextureGpuTest : public GpuTest {
protected:
    std::filesystem::path directory;

    void SetUp() override
    {
        GpuTest::SetUp();
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        directory = std::filesystem::temp_directory_path() /
                    ("brackenhold-textures-" + std::string(info->name()) + "-" + std::to_string(getpid()));
        std::filesystem::create_directories(directory);
    }

    void TearDown() override
    {
        std::filesystem::remove_all(directory);
        GpuTest::TearDown();
    }

    static void flush()
    {
        CommandBuffer* commands = beginCommands();
        commands->flushUploads();
        submitCommandsAndWait(commands);
    }

    static bool sampledFormat(u32 format)
    {
        VkFormatProperties properties;
        vkGetPhysicalDeviceFormatProperties(Engine::graphicsDevice->physicalDevice, static_cast<VkFormat>(format),
                                            &properties);
        VkFormatFeatureFlags needed = VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT | VK_FORMAT_FEATURE_TRANSFER_DST_BIT |
                                      VK_FORMAT_FEATURE_TRANSFER_SRC_BIT;
        return (properties.optimalTilingFeatures & needed) == needed;
    }

    // A texture whose level m holds bytes (seed + m * 37 + i) & 0xFF.
    static DdsTexture makeTexture(u32 format, u32 width, u32 height, u32 levels, u32 seed)
    {
        DdsTexture texture;
        texture.format = format;
        texture.width = width;
        texture.height = height;
        for (u32 m = 0; m < levels; m++) {
            DdsLevel level{std::max(1u, width >> m), std::max(1u, height >> m), {}};
            level.data.resize(ddsLevelSize(format, level.width, level.height));
            for (size_t i = 0; i < level.data.size(); i++) {
                level.data[i] = static_cast<u8>(seed + m * 37 + i);
            }
            texture.levels.push_back(std::move(level));
        }
        return texture;
    }

    std::string save(const std::string& name, const DdsTexture& texture)
    {
        std::string path = (directory / name).string();
        std::string error;
        EXPECT_TRUE(writeDds(path, texture, &error)) << error;
        return path;
    }
};

constexpr u32 AcceptedFormats[] = {44, 131, 132, 133, 134, 135, 136, 137, 138, 145};

} // namespace

TEST_F(TextureGpuTest, EveryLevelOfEveryFormatReachesTheImage)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    int uploaded = 0;
    for (u32 format : AcceptedFormats) {
        if (!sampledFormat(format)) {
            std::printf("format %u is not sampled by this device: skipped\n", format);
            continue;
        }
        SCOPED_TRACE(format);
        DdsTexture texture = makeTexture(format, 32, 8, 6, format);
        Image2D* image = Image2D::fromTexture(save("t" + std::to_string(format) + ".dds", texture).c_str(), true);
        EXPECT_EQ(image->format, static_cast<VkFormat>(format));
        EXPECT_EQ(image->range.levelCount, 6u);
        EXPECT_EQ(image->range.layerCount, 1u);
        EXPECT_EQ(image->extent.width, 32u);
        EXPECT_EQ(image->extent.height, 8u);
        EXPECT_EQ(image->stagingRegions.size(), 6u);
        ASSERT_NE(image->view, nullptr);
        EXPECT_EQ(image->viewType(), VK_IMAGE_VIEW_TYPE_2D);
        {
            std::lock_guard lock(device->uploadMutex);
            EXPECT_EQ(std::count(device->pendingImageUploads.begin(), device->pendingImageUploads.end(), image), 1);
        }
        flush();
        for (u32 m = 0; m < 6; m++) {
            const DdsLevel& level = texture.levels[m];
            EXPECT_EQ(readImage(image, m, 0, level.width, level.height, level.data.size()), level.data) << "level " << m;
        }
        device->releaseResource(image);
        uploaded++;
    }
    // Lavapipe samples at least the uncompressed format and the BC1 to BC3 families.
    EXPECT_GE(uploaded, 1);
}

TEST_F(TextureGpuTest, WithoutMipmapsOnlyTheFirstLevelIsLoaded)
{
    DdsTexture texture = makeTexture(44, 256, 64, 9, 3);
    std::string path = save("full.dds", texture);
    Image2D* image = Image2D::fromTexture(path.c_str(), false);
    EXPECT_EQ(image->range.levelCount, 1u);
    flush();
    EXPECT_EQ(readImage(image, 0, 0, 256, 64, texture.levels[0].data.size()), texture.levels[0].data);
    Image2D* mipmapped = Image2D::fromTexture(path.c_str(), true);
    EXPECT_EQ(mipmapped->range.levelCount, 9u);
    Image2D* single = Image2D::fromTexture(save("one.dds", makeTexture(44, 1, 1, 1, 0)).c_str(), true);
    EXPECT_EQ(single->range.levelCount, 1u);
    flush();
}

TEST_F(TextureGpuTest, AFileWithoutTheFullChainIsRefusedWhenMipmapsAreAsked)
{
    std::string path = save("partial.dds", makeTexture(44, 16, 16, 3, 0));
    try {
        Image2D::fromTexture(path.c_str(), true);
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("partial.dds"), std::string::npos) << error.what();
    }
    Image2D* image = Image2D::fromTexture(path.c_str(), false);
    EXPECT_EQ(image->range.levelCount, 1u);
    flush();
}

TEST_F(TextureGpuTest, TexturesTheDeviceCannotTakeStopWithTheFileNamed)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    auto fatal = [](const std::string& path) {
        testing::internal::CaptureStdout();
        std::string message = "(no error)";
        try {
            Image2D::fromTexture(path.c_str(), false);
        } catch (const std::runtime_error& error) {
            message = error.what();
        }
        return std::pair{message, testing::internal::GetCapturedStdout()};
    };
    const size_t images = device->resourceCount(ResourceStorage);

    // A well-formed file wider than any image the device makes: refused before Vulkan
    // is asked for the image (the validation layer would object).
    const u32 largest = device->properties.limits.maxImageDimension2D;
    const std::string wide = save("wide.dds", makeTexture(DdsFormat::B8G8R8A8Unorm, 65536, 1, 1, 0));
    auto [message, printed] = fatal(wide);
    EXPECT_EQ(message, "DDS image file from path[" + wide + "] does not fit the device: 65536 x 1 is larger than the " +
                           "device's largest image, " + std::to_string(largest) + " x " + std::to_string(largest));
    EXPECT_EQ(printed.rfind("ERROR: " + message + " (in Image at line #", 0), 0u) << printed;
    EXPECT_EQ(device->resourceCount(ResourceStorage), images);

    // A format the game does not take (DXGI R32G32B32A32_FLOAT): the line names the file.
    const std::string other = save("float.dds", makeTexture(DdsFormat::B8G8R8A8Unorm, 4, 4, 1, 0));
    {
        std::fstream file(other, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(128); // the DXGI format of the DX10 header
        file.put(2);
    }
    auto [unsupported, unsupportedPrinted] = fatal(other);
    EXPECT_EQ(unsupported, "Unsupported format. DDS image file from path[" + other + "]");
    EXPECT_EQ(unsupportedPrinted, "ERROR: " + unsupported + " (in Helper at line #68)\n");
    EXPECT_EQ(device->resourceCount(ResourceStorage), images);
}

TEST_F(TextureGpuTest, CubeFacesReachTheirLayers)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    std::string paths[6];
    DdsTexture faces[6];
    for (u32 i = 0; i < 6; i++) {
        faces[i] = makeTexture(44, 8, 8, 1, 40 * i);
        paths[i] = save("face" + std::to_string(i) + ".dds", faces[i]);
    }
    ImageCube* cube = ImageCube::loadFiles(paths);
    EXPECT_EQ(cube->range.layerCount, 6u);
    EXPECT_EQ(cube->range.levelCount, 1u);
    EXPECT_EQ(cube->viewType(), VK_IMAGE_VIEW_TYPE_CUBE);
    ASSERT_NE(cube->view, nullptr);
    ASSERT_EQ(cube->stagingRegions.size(), 6u);
    for (u32 i = 0; i < 6; i++) {
        EXPECT_EQ(cube->stagingRegions[i].baseArrayLayer, i);
    }
    flush();
    for (u32 i = 0; i < 6; i++) {
        EXPECT_EQ(readImage(cube, 0, i, 8, 8, faces[i].levels[0].data.size()), faces[i].levels[0].data) << "face " << i;
    }
    device->releaseResource(cube);
}

TEST_F(TextureGpuTest, CubeFacesOfDifferentSizeOrFormatAreRefused)
{
    std::string paths[6];
    for (u32 i = 0; i < 6; i++) {
        paths[i] = save("face" + std::to_string(i) + ".dds", makeTexture(44, 8, 8, 1, i));
    }
    std::string good[6] = {paths[0], paths[1], paths[2], paths[3], paths[4], paths[5]};
    paths[4] = save("small.dds", makeTexture(44, 4, 4, 1, 0));
    testing::internal::CaptureStdout();
    std::string message = "(no exception)";
    try {
        ImageCube::loadFiles(paths);
    } catch (const std::runtime_error& error) {
        message = error.what();
    }
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(message.find("small.dds"), std::string::npos) << message;
    // One fatal line, ending as every other does.
    EXPECT_EQ(printed.rfind("ERROR: " + message + " (in Image at line #", 0), 0u) << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
    good[2] = save("bc1.dds", makeTexture(133, 8, 8, 1, 0));
    EXPECT_THROW(ImageCube::loadFiles(good), std::runtime_error);
    EXPECT_TRUE(Engine::graphicsDevice->pendingImageUploads.empty());
}

TEST_F(TextureGpuTest, AnImageReleasedBeforeTheFlushIsNotUploaded)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    std::string path = save("t.dds", makeTexture(44, 4, 4, 1, 0));
    Image2D* deleted = Image2D::fromTexture(path.c_str(), false);
    device->releaseResource(deleted);
    device->deleteDeferred();
    EXPECT_TRUE(device->pendingImageUploads.empty());

    Image2D* released = Image2D::fromTexture(path.c_str(), false);
    device->releaseResource(released);
    EXPECT_EQ(device->pendingImageUploads.size(), 1u);
    flush(); // records nothing for it, then deletes it
    EXPECT_TRUE(device->pendingImageUploads.empty());
}

TEST_F(TextureGpuTest, ShadowArrayWrappedImagesAndSamplers)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    Image2DArray* shadows = new Image2DArray(256, 256);
    EXPECT_EQ(shadows->format, VK_FORMAT_D32_SFLOAT);
    EXPECT_EQ(shadows->aspect, static_cast<u32>(VK_IMAGE_ASPECT_DEPTH_BIT));
    EXPECT_EQ(shadows->range.layerCount, 4u);
    EXPECT_EQ(shadows->viewType(), VK_IMAGE_VIEW_TYPE_2D_ARRAY);
    for (ImageView* view : shadows->layerViews) {
        ASSERT_NE(view, nullptr);
        EXPECT_TRUE(view->valid);
    }
    ASSERT_NE(shadows->arrayView, nullptr);

    // A wrapped image is released without destroying the VkImage it wraps.
    Image2D* other = new Image2D(device, 4, 4, VK_FORMAT_R8G8B8A8_UNORM, VK_IMAGE_USAGE_SAMPLED_BIT,
                                 VK_IMAGE_ASPECT_COLOR_BIT, 1, 1, 0);
    Image2D* wrapper = new Image2D(device, other->image, VK_FORMAT_R8G8B8A8_UNORM);
    EXPECT_EQ(wrapper->ownsImage, 0);
    EXPECT_EQ(wrapper->range.aspectMask, static_cast<VkImageAspectFlags>(VK_IMAGE_ASPECT_COLOR_BIT));
    wrapper->view = new ImageView(device, wrapper, 1, 1);
    device->releaseResource(wrapper);
    device->deleteDeferred();
    ImageView still(device, other, 1, 1); // the image is still alive
    EXPECT_TRUE(still.valid);

    for (const VkSamplerCreateInfo& info :
         {samplerClampToEdge(), samplerClampToEdgeNearest(), samplerShadow(), samplerRepeat()}) {
        Sampler* sampler = new Sampler(device, info);
        EXPECT_NE(sampler->sampler, VK_NULL_HANDLE);
    }
    EXPECT_EQ(samplerShadow().compareOp, VK_COMPARE_OP_LESS);
    EXPECT_EQ(samplerShadow().borderColor, VK_BORDER_COLOR_FLOAT_OPAQUE_WHITE);
    EXPECT_EQ(samplerShadow().maxLod, 1.0f);
    EXPECT_EQ(samplerRepeat().addressModeU, VK_SAMPLER_ADDRESS_MODE_REPEAT);
    EXPECT_EQ(samplerClampToEdge().minLod, -1000.0f);
    EXPECT_EQ(device->resourceCount(ResourceSampler), 4u);
}
