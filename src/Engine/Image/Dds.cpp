#include "Engine/Image/Dds.h"

#include "Engine/Helper/FileLimits.h"
#include "Engine/Helper/FileRead.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

// Header layout (little-endian u32 words after the 4-byte magic "DDS ").
constexpr u32 Magic = 0x20534444;
constexpr u32 HeaderSize = 124;
constexpr u32 PixelFormatSize = 32;
constexpr u32 Dx10HeaderSize = 20;

constexpr u32 FlagCaps = 0x1, FlagHeight = 0x2, FlagWidth = 0x4, FlagPitch = 0x8, FlagPixelFormat = 0x1000,
              FlagMipMapCount = 0x20000, FlagLinearSize = 0x80000, FlagDepth = 0x800000;
constexpr u32 PixelAlpha = 0x1, PixelFourCc = 0x4, PixelRgb = 0x40;
constexpr u32 CapsComplex = 0x8, CapsTexture = 0x1000, CapsMipMap = 0x400000;
constexpr u32 Caps2CubeMap = 0x200, Caps2Volume = 0x200000;
constexpr u32 Dimension2D = 3;
constexpr u32 MiscTextureCube = 0x4;
constexpr u32 AlphaModeOpaque = 3;

constexpr u32 fourCc(const char (&text)[5])
{
    return u32(u8(text[0])) | u32(u8(text[1])) << 8 | u32(u8(text[2])) << 16 | u32(u8(text[3])) << 24;
}

// Word offsets inside the header (after the magic).
enum Word : u32 {
    WordSize = 0,
    WordFlags = 1,
    WordHeight = 2,
    WordWidth = 3,
    WordPitch = 4,
    WordDepth = 5,
    WordMipCount = 6,
    WordPfSize = 18,
    WordPfFlags = 19,
    WordPfFourCc = 20,
    WordPfBitCount = 21,
    WordPfRedMask = 22,
    WordPfGreenMask = 23,
    WordPfBlueMask = 24,
    WordPfAlphaMask = 25,
    WordCaps = 26,
    WordCaps2 = 27,
};

struct DxgiFormat {
    u32 dxgi;
    u32 format;
    u32 opaqueFormat; // with alpha mode opaque (BC1 RGB), else the same
};

constexpr DxgiFormat DxgiFormats[] = {
    {87, DdsFormat::B8G8R8A8Unorm, DdsFormat::B8G8R8A8Unorm},
    {71, DdsFormat::Bc1RgbaUnorm, DdsFormat::Bc1RgbUnorm},
    {72, DdsFormat::Bc1RgbaSrgb, DdsFormat::Bc1RgbSrgb},
    {74, DdsFormat::Bc2Unorm, DdsFormat::Bc2Unorm},
    {75, DdsFormat::Bc2Srgb, DdsFormat::Bc2Srgb},
    {77, DdsFormat::Bc3Unorm, DdsFormat::Bc3Unorm},
    {78, DdsFormat::Bc3Srgb, DdsFormat::Bc3Srgb},
    {98, DdsFormat::Bc7Unorm, DdsFormat::Bc7Unorm},
};

u32 readWord(const std::vector<u8>& bytes, size_t offset)
{
    u32 value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

void putWord(std::vector<u8>& bytes, size_t offset, u32 value)
{
    std::memcpy(bytes.data() + offset, &value, 4);
}

// Bytes per 4x4 block of a compressed format, 0 for the uncompressed one.
u32 blockBytes(u32 format)
{
    switch (format) {
    case DdsFormat::Bc1RgbUnorm:
    case DdsFormat::Bc1RgbSrgb:
    case DdsFormat::Bc1RgbaUnorm:
    case DdsFormat::Bc1RgbaSrgb:
        return 8;
    case DdsFormat::Bc2Unorm:
    case DdsFormat::Bc2Srgb:
    case DdsFormat::Bc3Unorm:
    case DdsFormat::Bc3Srgb:
    case DdsFormat::Bc7Unorm:
        return 16;
    default:
        return 0;
    }
}

// The accepted format of a legacy pixel format, or 0.
u32 legacyFormat(u32 flags, u32 code, u32 bitCount, u32 red, u32 green, u32 blue, u32 alpha)
{
    if (flags & PixelFourCc) {
        if (code == fourCc("DXT1")) {
            return (flags & PixelAlpha) ? DdsFormat::Bc1RgbaUnorm : DdsFormat::Bc1RgbUnorm;
        }
        if (code == fourCc("DXT2") || code == fourCc("DXT3")) {
            return DdsFormat::Bc2Unorm;
        }
        if (code == fourCc("DXT4") || code == fourCc("DXT5")) {
            return DdsFormat::Bc3Unorm;
        }
        return 0;
    }
    if ((flags & PixelRgb) && (flags & PixelAlpha) && bitCount == 32 && red == 0x00FF0000 && green == 0x0000FF00 &&
        blue == 0x000000FF && alpha == 0xFF000000) {
        return DdsFormat::B8G8R8A8Unorm;
    }
    return 0;
}

DdsTexture fail(const std::string& path, const std::string& reason, std::string* error)
{
    if (error) {
        *error = path + ": " + reason;
    }
    return {};
}

} // namespace

bool ddsFormatAccepted(u32 format)
{
    return format == DdsFormat::B8G8R8A8Unorm || blockBytes(format) != 0;
}

u64 ddsLevelSize(u32 format, u32 width, u32 height)
{
    if (format == DdsFormat::B8G8R8A8Unorm) {
        return u64{width} * height * 4;
    }
    u64 blocksX = std::max<u64>(1, (u64{width} + 3) / 4), blocksY = std::max<u64>(1, (u64{height} + 3) / 4);
    return blocksX * blocksY * blockBytes(format);
}

u32 ddsFullLevelCount(u32 width, u32 height)
{
    return static_cast<u32>(std::floor(std::log2(static_cast<double>(std::max({width, height, 1u}))))) + 1;
}

DdsTexture readDds(const std::string& path, std::string* error)
{
    std::vector<u8> bytes;
    if (std::string problem = readRegularFile(path, &bytes, FileLimits::TextureFile); !problem.empty()) {
        return fail(path, "the file " + problem, error);
    }
    if (bytes.size() < 4 + HeaderSize) {
        return fail(path, "the file is shorter than a DDS header (" + std::to_string(bytes.size()) + " bytes)",
                    error);
    }
    if (readWord(bytes, 0) != Magic) {
        return fail(path, "not a DDS file (bad magic)", error);
    }
    auto word = [&](Word w) { return readWord(bytes, 4 + 4 * size_t{w}); };
    if (word(WordSize) != HeaderSize || word(WordPfSize) != PixelFormatSize) {
        return fail(path, "corrupt header (wrong header or pixel-format size)", error);
    }
    u32 flags = word(WordFlags);
    u32 width = word(WordWidth), height = word(WordHeight);
    if (width == 0 || height == 0) {
        return fail(path, "corrupt header (zero width or height)", error);
    }
    if ((word(WordCaps2) & Caps2Volume) || ((flags & FlagDepth) && word(WordDepth) > 1)) {
        return fail(path, "volume textures are not supported", error);
    }
    if (word(WordCaps2) & Caps2CubeMap) {
        return fail(path, "cube-map files are not supported (one file a face)", error);
    }

    size_t dataStart = 4 + HeaderSize;
    u32 format = 0;
    u32 pixelFlags = word(WordPfFlags);
    if ((pixelFlags & PixelFourCc) && word(WordPfFourCc) == fourCc("DX10")) {
        if (bytes.size() < dataStart + Dx10HeaderSize) {
            return fail(path, "the file is shorter than its DX10 header", error);
        }
        u32 dxgi = readWord(bytes, dataStart);
        u32 dimension = readWord(bytes, dataStart + 4);
        u32 misc = readWord(bytes, dataStart + 8);
        u32 arraySize = readWord(bytes, dataStart + 12);
        u32 alphaMode = readWord(bytes, dataStart + 16) & 0x7;
        dataStart += Dx10HeaderSize;
        if (dimension != Dimension2D || (misc & MiscTextureCube) || arraySize > 1) {
            return fail(path, "only single 2D textures are supported", error);
        }
        for (const DxgiFormat& entry : DxgiFormats) {
            if (entry.dxgi == dxgi) {
                format = alphaMode == AlphaModeOpaque ? entry.opaqueFormat : entry.format;
            }
        }
    } else {
        format = legacyFormat(pixelFlags, word(WordPfFourCc), word(WordPfBitCount), word(WordPfRedMask),
                              word(WordPfGreenMask), word(WordPfBlueMask), word(WordPfAlphaMask));
    }
    if (format == 0) {
        DdsTexture unsupported;
        unsupported.width = width;
        unsupported.height = height;
        unsupported.unsupportedFormat = true;
        unsupported.path = path;
        if (error) {
            *error = path + ": unsupported pixel format";
        }
        return unsupported;
    }

    u32 levelCount = (flags & FlagMipMapCount) && word(WordMipCount) > 0 ? word(WordMipCount) : 1;
    u32 fullChain = ddsFullLevelCount(width, height);
    if (levelCount > fullChain) {
        return fail(path,
                    "corrupt header (" + std::to_string(levelCount) + " levels, a " + std::to_string(width) + "x" +
                        std::to_string(height) + " texture has at most " + std::to_string(fullChain) + ")",
                    error);
    }
    u64 expected = 0;
    for (u32 m = 0; m < levelCount; m++) {
        expected += ddsLevelSize(format, std::max(1u, width >> m), std::max(1u, height >> m));
    }
    u64 present = bytes.size() - dataStart;
    if (present != expected) {
        return fail(path,
                    std::string(present < expected ? "truncated" : "longer than its header says") + ": " +
                        std::to_string(levelCount) + " levels need " + std::to_string(expected) +
                        " bytes, the file holds " + std::to_string(present),
                    error);
    }

    DdsTexture texture;
    texture.format = format;
    texture.width = width;
    texture.height = height;
    texture.path = path;
    size_t offset = dataStart;
    for (u32 m = 0; m < levelCount; m++) {
        DdsLevel& level = texture.levels.emplace_back();
        level.width = std::max(1u, width >> m);
        level.height = std::max(1u, height >> m);
        size_t size = ddsLevelSize(format, level.width, level.height);
        level.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                          bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
        offset += size;
    }
    if (error) {
        error->clear();
    }
    return texture;
}

bool ddsCheckLevelCount(const DdsTexture& texture, u32 levels, const std::string& path, std::string* error)
{
    if (texture.levels.size() >= levels) {
        return true;
    }
    if (error) {
        *error = path + ": " + std::to_string(texture.levels.size()) + " mip levels, " + std::to_string(levels) +
                 " needed";
    }
    return false;
}

bool ddsCheckCubeFaces(const std::vector<DdsTexture>& faces, const std::vector<std::string>& paths,
                       std::string* error)
{
    for (size_t i = 1; i < faces.size(); i++) {
        const DdsTexture& first = faces[0];
        const DdsTexture& face = faces[i];
        if (face.format != first.format || face.width != first.width || face.height != first.height) {
            if (error) {
                *error = paths[i] + ": cube face " + std::to_string(i) + " (format " + std::to_string(face.format) +
                         ", " + std::to_string(face.width) + "x" + std::to_string(face.height) +
                         ") differs from face 0 (format " + std::to_string(first.format) + ", " +
                         std::to_string(first.width) + "x" + std::to_string(first.height) + ")";
            }
            return false;
        }
    }
    return true;
}

bool writeDds(const std::string& path, const DdsTexture& texture, std::string* error)
{
    auto failWrite = [&](const std::string& reason) {
        fail(path, reason, error);
        return false;
    };
    if (!ddsFormatAccepted(texture.format)) {
        return failWrite("format " + std::to_string(texture.format) + " is not accepted");
    }
    if (texture.width == 0 || texture.height == 0 || texture.levels.empty() ||
        texture.levels.size() > ddsFullLevelCount(texture.width, texture.height)) {
        return failWrite("bad size or level count");
    }
    for (size_t m = 0; m < texture.levels.size(); m++) {
        const DdsLevel& level = texture.levels[m];
        u32 width = std::max(1u, texture.width >> m), height = std::max(1u, texture.height >> m);
        if (level.width != width || level.height != height ||
            level.data.size() != ddsLevelSize(texture.format, width, height)) {
            return failWrite("level " + std::to_string(m) + " has the wrong size");
        }
    }

    u32 dxgi = 0, alphaMode = 0;
    for (const DxgiFormat& entry : DxgiFormats) {
        if (entry.format == texture.format || entry.opaqueFormat == texture.format) {
            dxgi = entry.dxgi;
            alphaMode = entry.opaqueFormat == texture.format && entry.format != texture.format ? AlphaModeOpaque : 0;
        }
    }
    bool compressed = blockBytes(texture.format) != 0;
    u32 levelCount = static_cast<u32>(texture.levels.size());

    std::vector<u8> header(4 + HeaderSize + Dx10HeaderSize, 0);
    putWord(header, 0, Magic);
    auto word = [&](Word w, u32 value) { putWord(header, 4 + 4 * size_t{w}, value); };
    word(WordSize, HeaderSize);
    word(WordFlags, FlagCaps | FlagHeight | FlagWidth | FlagPixelFormat | (levelCount > 1 ? FlagMipMapCount : 0) |
                        (compressed ? FlagLinearSize : FlagPitch));
    word(WordHeight, texture.height);
    word(WordWidth, texture.width);
    word(WordPitch, compressed ? static_cast<u32>(texture.levels[0].data.size()) : texture.width * 4);
    word(WordMipCount, levelCount);
    word(WordPfSize, PixelFormatSize);
    word(WordPfFlags, PixelFourCc);
    word(WordPfFourCc, fourCc("DX10"));
    word(WordCaps, CapsTexture | (levelCount > 1 ? CapsComplex | CapsMipMap : 0));
    size_t dx10 = 4 + HeaderSize;
    putWord(header, dx10, dxgi);
    putWord(header, dx10 + 4, Dimension2D);
    putWord(header, dx10 + 8, 0);
    putWord(header, dx10 + 12, 1);
    putWord(header, dx10 + 16, alphaMode);

    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        return failWrite("cannot create the file");
    }
    file.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
    for (const DdsLevel& level : texture.levels) {
        file.write(reinterpret_cast<const char*>(level.data.data()), static_cast<std::streamsize>(level.data.size()));
    }
    file.close();
    if (!file) {
        return failWrite("write failed");
    }
    return true;
}
