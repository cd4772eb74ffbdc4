#pragma once

#include "Engine/Types.h"

#include <string>
#include <vector>

// DDS textures: the reader the game loads its textures with and the writer the asset
// tool makes them with. Plain C++ (no Vulkan, no GLFW): the asset tool compiles it too.
// Format numbers are the VkFormat values they stand for.
namespace DdsFormat {
constexpr u32 B8G8R8A8Unorm = 44;
constexpr u32 Bc1RgbUnorm = 131;
constexpr u32 Bc1RgbSrgb = 132;
constexpr u32 Bc1RgbaUnorm = 133;
constexpr u32 Bc1RgbaSrgb = 134;
constexpr u32 Bc2Unorm = 135;
constexpr u32 Bc2Srgb = 136;
constexpr u32 Bc3Unorm = 137;
constexpr u32 Bc3Srgb = 138;
constexpr u32 Bc7Unorm = 145;
} // namespace DdsFormat

// A DDS texture as read from a file: the format number, the size of level 0 and each
// level's bytes.
struct DdsLevel {
    u32 width = 0;
    u32 height = 0;
    std::vector<u8> data;
};

struct DdsTexture {
    u32 format = 0;
    u32 width = 0;
    u32 height = 0;
    std::vector<DdsLevel> levels;
    // A well-formed file whose pixel format the game does not accept: format is 0 and
    // there are no levels.
    bool unsupportedFormat = false;
    // The file it was read from ("" for a texture made in memory).
    std::string path;

    bool empty() const { return levels.empty(); }
};

// The formats the game accepts: B8G8R8A8_UNORM, BC1 RGB and RGBA, BC2, BC3 (each UNORM
// and SRGB), BC7 UNORM.
bool ddsFormatAccepted(u32 format);

// Reads a 2D DDS file (legacy and DX10 headers). Legacy headers: "DXT1" (BC1 RGB, or
// RGBA with the alpha-pixels flag), "DXT2"/"DXT3" (BC2), "DXT4"/"DXT5" (BC3), 32-bit
// BGRA masks. DX10 headers: the DXGI formats of the accepted ones; BC1 with alpha mode
// opaque is BC1 RGB. Returns an empty texture and sets `error` (naming the file) for a
// missing, short, corrupt or unsupported file: the header's size, level count and
// level sizes must account for the file's length exactly.
DdsTexture readDds(const std::string& path, std::string* error);

// Bytes of one level of a format at the given size (block-compressed: 4x4 blocks);
// 0 for a format that is not accepted.
u64 ddsLevelSize(u32 format, u32 width, u32 height);

// Levels of a full mip chain: floor(log2(max(width, height))) + 1.
u32 ddsFullLevelCount(u32 width, u32 height);

// False (and `error` naming `path`) when the texture holds fewer than `levels` levels.
bool ddsCheckLevelCount(const DdsTexture& texture, u32 levels, const std::string& path, std::string* error);

// False (and `error` naming the odd file) when the faces differ from the first in
// format or size.
bool ddsCheckCubeFaces(const std::vector<DdsTexture>& faces, const std::vector<std::string>& paths,
                       std::string* error);

// Writes a texture with a DX10 header; false (and `error`) for a texture whose format
// is not accepted or whose levels do not form the start of its mip chain.
bool writeDds(const std::string& path, const DdsTexture& texture, std::string* error);
