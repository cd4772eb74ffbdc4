#include "Generators.h"
#include "SkyStars.h"
#include "SkyStone.h"

#include <cstdio>
#include <string>

namespace {

// The star cube map: six faces of this many texels, in layer order +X, -X, +Y, -Y,
// +Z, -Z, under the names the sky loads.
constexpr u32 StarFaceSize = 1024;
constexpr u64 StarSeed = 0x5EA57A125ull;
const char* const StarFaceNames[CubeFaceCount] = {"stars_right1.dds", "stars_left2.dds",  "stars_top3.dds",
                                                   "stars_bottom4.dds", "stars_front5.dds", "stars_back6.dds"};

// The portal frame's stone, loaded with its full mip chain.
constexpr u32 FrameStoneSize = 512;
constexpr u64 FrameStoneSeed = 0xF4A3EC0105ull;

bool writeLevels(const std::filesystem::path& path, const std::vector<SkyImage>& levels, SkyEncoding encoding)
{
    std::filesystem::create_directories(path.parent_path());
    std::string error;
    if (!writeSkyDds(path.string(), levels, encoding, &error)) {
        std::fprintf(stderr, "assetgen: %s\n", error.c_str());
        return false;
    }
    return true;
}

} // namespace

// The night sky's star cube map, and the stone of the portal frame.
bool generateSkybox(const std::filesystem::path& assets)
{
    bool ok = true;
    std::array<SkyImage, CubeFaceCount> faces = renderStarField(StarFaceSize, StarSeed);
    for (u32 face = 0; face < CubeFaceCount; face++) {
        // The sky shader squares what it samples: the faint glow needs the precision.
        ok = writeLevels(assets / "textures" / "skybox" / StarFaceNames[face], {faces[face]}, SkyEncoding::SquareRoot) &&
             ok;
    }
    ok = writeLevels(assets / "Buildings" / "BdPortal" / "frameColor.dds",
                     mipChain(renderFrameStone(FrameStoneSize, FrameStoneSeed)), SkyEncoding::Linear) &&
         ok;
    return ok;
}
