#include "Engine/Helper/Helper.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

// Runs `f`, which must fail fatally; returns the exception's message and what it
// printed on standard output.
template <typename F> std::pair<std::string, std::string> fatal(F&& f)
{
    testing::internal::CaptureStdout();
    std::string message = "(no exception)";
    try {
        f();
    } catch (const std::runtime_error& error) {
        message = error.what();
    }
    return {message, testing::internal::GetCapturedStdout()};
}

std::string temporaryPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("brackenhold-helper-" + std::to_string(getpid()) + "-" + name))
        .string();
}

} // namespace

TEST(VkFormatOfTexture, AcceptsTheGameFormatsOnly)
{
    DdsTexture texture;
    for (u32 format : {44u, 131u, 132u, 133u, 134u, 135u, 136u, 137u, 138u, 145u}) {
        texture.format = format;
        EXPECT_EQ(vkFormatOfTexture(texture), static_cast<VkFormat>(format));
    }
    texture.format = VK_FORMAT_R8G8B8A8_UNORM;
    auto [message, output] = fatal([&] { vkFormatOfTexture(texture); });
    EXPECT_EQ(message, "Unsupported format.");
    EXPECT_EQ(output, "ERROR: Unsupported format. (in Helper at line #68)\n");
}

TEST(LoadDds, ReadsATextureAndFailsFatallyOnBrokenFiles)
{
    DdsTexture texture;
    texture.format = VK_FORMAT_BC7_UNORM_BLOCK;
    texture.width = texture.height = 8;
    texture.levels.push_back({8, 8, std::vector<u8>(64, 5)});
    std::string path = temporaryPath("good.dds");
    std::string error;
    ASSERT_TRUE(writeDds(path, texture, &error)) << error;
    DdsTexture read = loadDDS(path);
    EXPECT_EQ(read.format, static_cast<u32>(VK_FORMAT_BC7_UNORM_BLOCK));
    EXPECT_EQ(read.levels.size(), 1u);

    // A readable file in another format loads without levels; its format is refused.
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(128); // DXGI format of the DX10 header
        file.put(2);     // R32G32B32A32_FLOAT
    }
    DdsTexture other = loadDDS(path);
    EXPECT_TRUE(other.unsupportedFormat);
    auto [unsupported, unsupportedOutput] = fatal([&] { vkFormatOfTexture(other); });
    EXPECT_EQ(unsupported, "Unsupported format. DDS image file from path[" + path + "]");
    EXPECT_EQ(unsupportedOutput,
              "ERROR: Unsupported format. DDS image file from path[" + path + "] (in Helper at line #68)\n");
    ASSERT_TRUE(writeDds(path, texture, &error)) << error;

    // The reason stands in the one line, after the file it names.
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 1);
    auto [message, output] = fatal([&] { loadDDS(path); });
    const std::string cut = "Unable to load DDS image file from path[" + path + "]: truncated: ";
    EXPECT_EQ(message.rfind(cut, 0), 0u) << message;
    EXPECT_EQ(output, "ERROR: " + message + " (in Helper at line #77)\n");
    std::filesystem::remove(path);

    const std::string gone = temporaryPath("missing.dds");
    auto [missing, missingOutput] = fatal([&] { loadDDS(gone); });
    EXPECT_EQ(missing, "Unable to load DDS image file from path[" + gone +
                           "]: the file cannot be opened (No such file or directory)");
    EXPECT_EQ(missingOutput, "ERROR: " + missing + " (in Helper at line #77)\n");
}
