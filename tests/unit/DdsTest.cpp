#include "Engine/Image/Dds.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

// Writes DDS files byte by byte, as other tools lay them out, into a directory of its own.
class DdsFiles : public ::testing::Test {
protected:
    std::filesystem::path directory;

    void SetUp() override
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        directory = std::filesystem::temp_directory_path() /
                    ("brackenhold-dds-" + std::string(info->name()) + "-" + std::to_string(getpid()));
        std::filesystem::create_directories(directory);
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::string save(const std::string& name, const std::vector<u8>& bytes)
    {
        std::string path = (directory / name).string();
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
};

void put(std::vector<u8>& bytes, size_t offset, u32 value)
{
    std::memcpy(bytes.data() + offset, &value, 4);
}

u32 code(const char* text)
{
    u32 value;
    std::memcpy(&value, text, 4);
    return value;
}

struct Legacy {
    u32 pixelFlags = 0x4; // four-cc
    u32 fourCc = 0;
    u32 bitCount = 0;
    u32 masks[4] = {};
};

// Magic and the 124-byte header; with `dx10` the 20-byte extension follows.
std::vector<u8> header(u32 width, u32 height, u32 levels, const Legacy& pixel, bool dx10 = false, u32 dxgi = 0,
                       u32 alphaMode = 0)
{
    std::vector<u8> bytes(4 + 124 + (dx10 ? 20 : 0), 0);
    put(bytes, 0, code("DDS "));
    put(bytes, 4, 124);
    put(bytes, 8, 0x1 | 0x2 | 0x4 | 0x1000 | (levels > 1 ? 0x20000 : 0));
    put(bytes, 12, height);
    put(bytes, 16, width);
    put(bytes, 28, levels);
    put(bytes, 76, 32);
    put(bytes, 80, dx10 ? 0x4 : pixel.pixelFlags);
    put(bytes, 84, dx10 ? code("DX10") : pixel.fourCc);
    put(bytes, 88, pixel.bitCount);
    for (int i = 0; i < 4; i++) {
        put(bytes, 92 + 4 * i, pixel.masks[i]);
    }
    put(bytes, 108, 0x1000);
    if (dx10) {
        put(bytes, 128, dxgi);
        put(bytes, 132, 3); // 2D
        put(bytes, 140, 1); // array size
        put(bytes, 144, alphaMode);
    }
    return bytes;
}

Legacy fourCc(const char* text, bool alphaPixels = false)
{
    Legacy pixel;
    pixel.pixelFlags = 0x4 | (alphaPixels ? 0x1 : 0);
    pixel.fourCc = code(text);
    return pixel;
}

Legacy bgra()
{
    Legacy pixel;
    pixel.pixelFlags = 0x40 | 0x1;
    pixel.bitCount = 32;
    pixel.masks[0] = 0x00FF0000;
    pixel.masks[1] = 0x0000FF00;
    pixel.masks[2] = 0x000000FF;
    pixel.masks[3] = 0xFF000000;
    return pixel;
}

// Level m filled with bytes (m * 37 + i) & 0xFF.
std::vector<u8> levelBytes(u32 format, u32 width, u32 height, u32 level)
{
    std::vector<u8> bytes(ddsLevelSize(format, std::max(1u, width >> level), std::max(1u, height >> level)));
    for (size_t i = 0; i < bytes.size(); i++) {
        bytes[i] = static_cast<u8>(level * 37 + i);
    }
    return bytes;
}

std::vector<u8> withLevels(std::vector<u8> bytes, u32 format, u32 width, u32 height, u32 levels)
{
    for (u32 m = 0; m < levels; m++) {
        std::vector<u8> level = levelBytes(format, width, height, m);
        bytes.insert(bytes.end(), level.begin(), level.end());
    }
    return bytes;
}

void expectLevels(const DdsTexture& texture, u32 format, u32 width, u32 height, u32 levels)
{
    ASSERT_EQ(texture.format, format);
    ASSERT_EQ(texture.width, width);
    ASSERT_EQ(texture.height, height);
    ASSERT_EQ(texture.levels.size(), levels);
    for (u32 m = 0; m < levels; m++) {
        EXPECT_EQ(texture.levels[m].width, std::max(1u, width >> m));
        EXPECT_EQ(texture.levels[m].height, std::max(1u, height >> m));
        EXPECT_EQ(texture.levels[m].data, levelBytes(format, width, height, m)) << "level " << m;
    }
}

struct FormatCase {
    const char* name;
    std::vector<u8> head;
    u32 format;
};

} // namespace

TEST(Dds, LevelSizesAndChains)
{
    EXPECT_EQ(ddsLevelSize(DdsFormat::B8G8R8A8Unorm, 3, 2), 24u);
    EXPECT_EQ(ddsLevelSize(DdsFormat::Bc1RgbUnorm, 1, 1), 8u);
    EXPECT_EQ(ddsLevelSize(DdsFormat::Bc1RgbaSrgb, 8, 4), 16u);
    EXPECT_EQ(ddsLevelSize(DdsFormat::Bc3Unorm, 5, 5), 64u);
    EXPECT_EQ(ddsLevelSize(DdsFormat::Bc7Unorm, 4, 4), 16u);
    EXPECT_EQ(ddsLevelSize(2, 4, 4), 0u);
    EXPECT_EQ(ddsFullLevelCount(1, 1), 1u);
    EXPECT_EQ(ddsFullLevelCount(256, 64), 9u);
    EXPECT_EQ(ddsFullLevelCount(5, 3), 3u);
    for (u32 format : {44u, 131u, 132u, 133u, 134u, 135u, 136u, 137u, 138u, 145u}) {
        EXPECT_TRUE(ddsFormatAccepted(format)) << format;
    }
    for (u32 format : {0u, 37u, 43u, 50u, 139u, 146u}) {
        EXPECT_FALSE(ddsFormatAccepted(format)) << format;
    }
}

TEST_F(DdsFiles, ReadsEveryAcceptedFormatWithLegacyAndDx10Headers)
{
    const u32 width = 8, height = 4, levels = 4;
    const FormatCase cases[] = {
        {"legacy-dxt1", header(width, height, levels, fourCc("DXT1")), DdsFormat::Bc1RgbUnorm},
        {"legacy-dxt1-alpha", header(width, height, levels, fourCc("DXT1", true)), DdsFormat::Bc1RgbaUnorm},
        {"legacy-dxt2", header(width, height, levels, fourCc("DXT2")), DdsFormat::Bc2Unorm},
        {"legacy-dxt3", header(width, height, levels, fourCc("DXT3")), DdsFormat::Bc2Unorm},
        {"legacy-dxt4", header(width, height, levels, fourCc("DXT4")), DdsFormat::Bc3Unorm},
        {"legacy-dxt5", header(width, height, levels, fourCc("DXT5")), DdsFormat::Bc3Unorm},
        {"legacy-bgra", header(width, height, levels, bgra()), DdsFormat::B8G8R8A8Unorm},
        {"dx10-bgra", header(width, height, levels, {}, true, 87), DdsFormat::B8G8R8A8Unorm},
        {"dx10-bc1", header(width, height, levels, {}, true, 71), DdsFormat::Bc1RgbaUnorm},
        {"dx10-bc1-opaque", header(width, height, levels, {}, true, 71, 3), DdsFormat::Bc1RgbUnorm},
        {"dx10-bc1-srgb", header(width, height, levels, {}, true, 72), DdsFormat::Bc1RgbaSrgb},
        {"dx10-bc1-srgb-opaque", header(width, height, levels, {}, true, 72, 3), DdsFormat::Bc1RgbSrgb},
        {"dx10-bc2", header(width, height, levels, {}, true, 74), DdsFormat::Bc2Unorm},
        {"dx10-bc2-srgb", header(width, height, levels, {}, true, 75), DdsFormat::Bc2Srgb},
        {"dx10-bc3", header(width, height, levels, {}, true, 77), DdsFormat::Bc3Unorm},
        {"dx10-bc3-srgb", header(width, height, levels, {}, true, 78), DdsFormat::Bc3Srgb},
        {"dx10-bc7", header(width, height, levels, {}, true, 98), DdsFormat::Bc7Unorm},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = save(std::string(c.name) + ".dds", withLevels(c.head, c.format, width, height, levels));
        std::string error = "unchanged";
        DdsTexture texture = readDds(path, &error);
        EXPECT_EQ(error, "");
        expectLevels(texture, c.format, width, height, levels);
    }
}

TEST_F(DdsFiles, WriterRoundTripsEveryAcceptedFormat)
{
    for (u32 format : {44u, 131u, 132u, 133u, 134u, 135u, 136u, 137u, 138u, 145u}) {
        SCOPED_TRACE(format);
        DdsTexture texture;
        texture.format = format;
        texture.width = 16;
        texture.height = 4;
        for (u32 m = 0; m < 5; m++) {
            texture.levels.push_back({std::max(1u, 16u >> m), std::max(1u, 4u >> m), levelBytes(format, 16, 4, m)});
        }
        std::string path = (directory / ("written-" + std::to_string(format) + ".dds")).string();
        std::string error;
        ASSERT_TRUE(writeDds(path, texture, &error)) << error;
        DdsTexture read = readDds(path, &error);
        EXPECT_EQ(error, "");
        expectLevels(read, format, 16, 4, 5);
    }
}

TEST_F(DdsFiles, WriterRefusesWhatItCannotDescribe)
{
    std::string error;
    DdsTexture texture;
    texture.format = 37; // R8G8B8A8_UNORM: not accepted
    texture.width = texture.height = 1;
    texture.levels.push_back({1, 1, {1, 2, 3, 4}});
    EXPECT_FALSE(writeDds((directory / "a.dds").string(), texture, &error));
    texture.format = DdsFormat::B8G8R8A8Unorm;
    texture.levels[0].data.pop_back();
    EXPECT_FALSE(writeDds((directory / "b.dds").string(), texture, &error));
    EXPECT_NE(error.find("b.dds"), std::string::npos) << error;
}

TEST_F(DdsFiles, SingleLevelWithoutMipCountFlag)
{
    std::vector<u8> bytes = header(4, 4, 1, fourCc("DXT5"));
    put(bytes, 28, 7); // a level count without the flag is not read
    std::string path = save("one.dds", withLevels(bytes, DdsFormat::Bc3Unorm, 4, 4, 1));
    std::string error;
    expectLevels(readDds(path, &error), DdsFormat::Bc3Unorm, 4, 4, 1);
}

TEST_F(DdsFiles, TruncatedAndOverlongFilesAreRefused)
{
    std::vector<u8> good = withLevels(header(8, 8, 4, bgra()), DdsFormat::B8G8R8A8Unorm, 8, 8, 4);
    std::string error;

    std::vector<u8> shortByOne(good.begin(), good.end() - 1);
    DdsTexture texture = readDds(save("short.dds", shortByOne), &error);
    EXPECT_TRUE(texture.empty());
    EXPECT_FALSE(texture.unsupportedFormat);
    EXPECT_NE(error.find("short.dds"), std::string::npos) << error;
    EXPECT_NE(error.find("truncated"), std::string::npos) << error;

    std::vector<u8> longer = good;
    longer.push_back(0);
    EXPECT_TRUE(readDds(save("long.dds", longer), &error).empty());
    EXPECT_NE(error.find("longer"), std::string::npos) << error;

    std::vector<u8> headerOnly(good.begin(), good.begin() + 100);
    EXPECT_TRUE(readDds(save("header.dds", headerOnly), &error).empty());
    EXPECT_NE(error.find("shorter than a DDS header"), std::string::npos) << error;

    std::vector<u8> dx10 = header(4, 4, 1, {}, true, 98);
    dx10.resize(4 + 124 + 10);
    EXPECT_TRUE(readDds(save("dx10.dds", dx10), &error).empty());
    EXPECT_NE(error.find("DX10"), std::string::npos) << error;

    EXPECT_TRUE(readDds(save("empty.dds", {}), &error).empty());
}

TEST_F(DdsFiles, BadMagicAndCorruptHeadersAreRefused)
{
    std::string error;
    std::vector<u8> bytes = withLevels(header(4, 4, 1, fourCc("DXT1")), DdsFormat::Bc1RgbUnorm, 4, 4, 1);
    std::vector<u8> magic = bytes;
    magic[0] = 'X';
    EXPECT_TRUE(readDds(save("magic.dds", magic), &error).empty());
    EXPECT_NE(error.find("bad magic"), std::string::npos) << error;
    EXPECT_NE(error.find("magic.dds"), std::string::npos) << error;

    std::vector<u8> size = bytes;
    put(size, 4, 123);
    EXPECT_TRUE(readDds(save("size.dds", size), &error).empty());
    EXPECT_NE(error.find("corrupt"), std::string::npos) << error;

    std::vector<u8> zero = bytes;
    put(zero, 16, 0);
    EXPECT_TRUE(readDds(save("zero.dds", zero), &error).empty());

    // More levels than a 4x4 texture can have.
    std::vector<u8> levels = withLevels(header(4, 4, 4, fourCc("DXT1")), DdsFormat::Bc1RgbUnorm, 4, 4, 3);
    EXPECT_TRUE(readDds(save("levels.dds", levels), &error).empty());
    EXPECT_NE(error.find("at most 3"), std::string::npos) << error;

    // A level count the data does not hold is a truncated file.
    std::vector<u8> fewer = withLevels(header(8, 8, 4, fourCc("DXT1")), DdsFormat::Bc1RgbUnorm, 8, 8, 3);
    EXPECT_TRUE(readDds(save("fewer.dds", fewer), &error).empty());
    EXPECT_NE(error.find("truncated"), std::string::npos) << error;

    // Paths that hold no file are named, and a FIFO is not waited on.
    std::filesystem::create_directories(directory / "folder.dds");
    ASSERT_EQ(mkfifo((directory / "pipe.dds").c_str(), 0600), 0);
    for (const char* name : {"missing.dds", "folder.dds", "pipe.dds"}) {
        EXPECT_TRUE(readDds((directory / name).string(), &error).empty());
        EXPECT_NE(error.find(std::string(name) + ": the file "), std::string::npos) << error;
    }
}

TEST_F(DdsFiles, OtherFormatsAndShapesAreUnsupported)
{
    std::string error;
    // DX10 R32G32B32A32_FLOAT: a well-formed file in a format the game does not take.
    DdsTexture texture = readDds(save("float.dds", header(4, 4, 1, {}, true, 2)), &error);
    EXPECT_TRUE(texture.empty());
    EXPECT_TRUE(texture.unsupportedFormat);
    EXPECT_EQ(texture.format, 0u);
    EXPECT_NE(error.find("unsupported"), std::string::npos) << error;
    // Legacy 24-bit RGB and an unknown four-cc.
    Legacy rgb;
    rgb.pixelFlags = 0x40;
    rgb.bitCount = 24;
    EXPECT_TRUE(readDds(save("rgb.dds", header(4, 4, 1, rgb)), &error).unsupportedFormat);
    EXPECT_TRUE(readDds(save("ati2.dds", header(4, 4, 1, fourCc("ATI2"))), &error).unsupportedFormat);
    // BC7 SRGB is not taken either.
    EXPECT_TRUE(readDds(save("bc7srgb.dds", header(4, 4, 1, {}, true, 99)), &error).unsupportedFormat);

    // Cube-map and array files are refused (the sky loads one file a face).
    std::vector<u8> cube = withLevels(header(4, 4, 1, bgra()), DdsFormat::B8G8R8A8Unorm, 4, 4, 1);
    put(cube, 112, 0x200 | 0xFC00);
    texture = readDds(save("cube.dds", cube), &error);
    EXPECT_TRUE(texture.empty());
    EXPECT_FALSE(texture.unsupportedFormat);
    EXPECT_NE(error.find("cube"), std::string::npos) << error;
    std::vector<u8> array = withLevels(header(4, 4, 1, {}, true, 87), DdsFormat::B8G8R8A8Unorm, 4, 4, 2);
    put(array, 140, 2);
    EXPECT_TRUE(readDds(save("array.dds", array), &error).empty());
}

TEST_F(DdsFiles, TooFewLevelsForAFullChain)
{
    std::string path = save("partial.dds", withLevels(header(16, 16, 3, bgra()), DdsFormat::B8G8R8A8Unorm, 16, 16, 3));
    std::string error;
    DdsTexture texture = readDds(path, &error);
    ASSERT_EQ(texture.levels.size(), 3u);
    EXPECT_TRUE(ddsCheckLevelCount(texture, 1, path, &error));
    EXPECT_TRUE(ddsCheckLevelCount(texture, 3, path, &error));
    EXPECT_FALSE(ddsCheckLevelCount(texture, ddsFullLevelCount(16, 16), path, &error));
    EXPECT_NE(error.find("partial.dds: 3 mip levels, 5 needed"), std::string::npos) << error;
}

TEST_F(DdsFiles, MismatchedCubeFacesAreRefused)
{
    std::vector<DdsTexture> faces;
    std::vector<std::string> paths;
    for (int i = 0; i < 6; i++) {
        std::string path = save("face" + std::to_string(i) + ".dds",
                                withLevels(header(4, 4, 1, bgra()), DdsFormat::B8G8R8A8Unorm, 4, 4, 1));
        std::string error;
        faces.push_back(readDds(path, &error));
        paths.push_back(path);
    }
    std::string error;
    EXPECT_TRUE(ddsCheckCubeFaces(faces, paths, &error));

    std::vector<DdsTexture> sized = faces;
    sized[3].width = 8;
    EXPECT_FALSE(ddsCheckCubeFaces(sized, paths, &error));
    EXPECT_NE(error.find("face3.dds"), std::string::npos) << error;

    std::vector<DdsTexture> formats = faces;
    formats[5].format = DdsFormat::Bc7Unorm;
    EXPECT_FALSE(ddsCheckCubeFaces(formats, paths, &error));
    EXPECT_NE(error.find("face5.dds"), std::string::npos) << error;
}
