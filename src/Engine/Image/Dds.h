#pragma once

#include "Engine/Types.h"

#include <string>
#include <vector>

// A DDS texture as read from a file: the format number (the VkFormat value it stands
// for), the size of level 0 and each level's bytes.
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

    bool empty() const { return levels.empty(); }
};

// Reads a DDS file (legacy and DX10 headers) in one of the formats the game accepts:
// B8G8R8A8_UNORM, BC1 RGB/RGBA, BC2, BC3 (UNORM and SRGB), BC7 UNORM. Returns an empty
// texture and sets `error` for a missing, short, corrupt or unsupported file.
DdsTexture readDds(const std::string& path, std::string* error);

// Bytes of one level of a format at the given size (block-compressed: 4x4 blocks).
u64 ddsLevelSize(u32 format, u32 width, u32 height);

// The writer the asset tool uses for the textures it generates.
bool writeDds(const std::string& path, const DdsTexture& texture, std::string* error);
