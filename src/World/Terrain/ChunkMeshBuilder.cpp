#include "World/Terrain/ChunkMeshBuilder.h"

#include "Engine/Camera/Random.h"
#include "World/Terrain/ParallelFor.h"
#include "World/Terrain/PositionIndex.h"
#include "World/Terrain/QuadSplit.h"
#include "World/Terrain/TerrainGrid.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace ChunkRules;

namespace {

f32 srgbChannel(u32 value)
{
    f32 c = static_cast<f32>(value) / 255.0f;
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

struct Palette {
    glm::vec4 sand, grass, dirt, rock;
};

const Palette& palette()
{
    static const Palette colors{
        srgbToLinear(ColorRules::Sand[0], ColorRules::Sand[1], ColorRules::Sand[2]),
        srgbToLinear(ColorRules::Grass[0], ColorRules::Grass[1], ColorRules::Grass[2]),
        srgbToLinear(ColorRules::Dirt[0], ColorRules::Dirt[1], ColorRules::Dirt[2]),
        srgbToLinear(ColorRules::Rock[0], ColorRules::Rock[1], ColorRules::Rock[2]),
    };
    return colors;
}

// Heights and altitudes of the (chunkSize+1)^2 points of one chunk.
struct ChunkCorners {
    u32 side = 0;
    std::vector<f32> height;
    std::vector<f32> altitude;
};

struct ChunkPlace {
    u32 cx, cz;
    glm::vec3 origin; // world position of the chunk's first grid point
};

void loadCorners(const TerrainGrid& grid, const ChunkPlace& place, f32 planetRadius, ChunkCorners& corners)
{
    const u32 cs = grid.chunkSize;
    corners.side = cs + 1;
    corners.height.resize(static_cast<size_t>(corners.side) * corners.side);
    corners.altitude.resize(corners.height.size());
    for (u32 a = 0; a <= cs; a++) {
        for (u32 b = 0; b <= cs; b++) {
            u32 x = place.cx * cs + a;
            u32 z = place.cz * cs + b;
            f32 h = grid.stepHeightAt(x, z);
            // Height above a sphere of radius R whose centre lies R below the origin.
            f32 px = place.origin.x + static_cast<f32>(a);
            f32 py = place.origin.y + h + planetRadius;
            f32 pz = place.origin.z + static_cast<f32>(b);
            size_t i = static_cast<size_t>(a) * corners.side + b;
            corners.height[i] = h;
            corners.altitude[i] = std::sqrt(px * px + py * py + pz * pz) - planetRadius;
        }
    }
}

// Whether quad (a, b) of the chunk is meshed.
inline bool quadEmitted(const ChunkCorners& c, u32 a, u32 b, glm::vec2 window)
{
    size_t i00 = static_cast<size_t>(a) * c.side + b;
    size_t i10 = i00 + c.side;
    size_t i01 = i00 + 1;
    size_t i11 = i10 + 1;
    const f32* alt = c.altitude.data();
    const f32* h = c.height.data();
    if (alt[i00] < window.x && alt[i10] < window.x && alt[i01] < window.x && alt[i11] < window.x) return false;
    if (alt[i00] > window.y && alt[i10] > window.y && alt[i01] > window.y && alt[i11] > window.y) return false;
    if (h[i00] < DeepSeaFloor && h[i10] < DeepSeaFloor && h[i01] < DeepSeaFloor && h[i11] < DeepSeaFloor) return false;
    return true;
}

ChunkPlace placeOf(const TerrainGrid& grid, u32 buildIndex)
{
    ChunkPlace place;
    place.cx = buildIndex / grid.chunksPerSide;
    place.cz = buildIndex % grid.chunksPerSide;
    place.origin = grid.origin + glm::vec3(static_cast<f32>(place.cx * grid.chunkSize), 0.0f,
                                           static_cast<f32>(place.cz * grid.chunkSize));
    return place;
}

// Random::uniform takes two 32-bit outputs of the generator.
constexpr unsigned long long OutputsPerDraw = 2;

inline glm::vec3 faceNormal(const glm::vec3& a, const glm::vec3& b, const glm::vec3& c)
{
    return glm::normalize(glm::cross(b - a, c - a));
}

} // namespace

glm::vec4 srgbToLinear(u32 r, u32 g, u32 b)
{
    return glm::vec4(srgbChannel(r), srgbChannel(g), srgbChannel(b), 1.0f);
}

glm::vec4 baseColor(const glm::vec3& normal, f32 height)
{
    const Palette& colors = palette();
    if (normal.y > ColorRules::FlatSlope && height < ColorRules::SandHeight) return colors.sand;
    if (normal.y > ColorRules::GrassSlope) return colors.grass;
    if (normal.y > ColorRules::FlatSlope) return colors.dirt;
    return colors.rock;
}

f32 colorJitter(f64 u)
{
    return static_cast<f32>(1.0 + (u - 0.5) * ColorRules::Jitter);
}

glm::vec4 TerrainGrid::vertexColor(Random* random, const glm::vec3& normal, f32 height)
{
    return baseColor(normal, height) * colorJitter(random->uniform(0.0, 1.0));
}

ChunkSetData buildChunkSet(const TerrainGrid& grid, glm::vec2 window, f32 planetRadius, Random& random,
                           u32 threads, ChunkForm form)
{
    const bool shaded = form == ChunkForm::Shaded;
    const u32 cps = grid.chunksPerSide;
    const u32 cs = grid.chunkSize;
    const u32 chunkCount = cps * cps;

    ChunkSetData set;
    set.window = window;
    set.form = form;
    set.chunksPerSide = cps;
    set.chunkSize = cs;
    set.chunks.resize(chunkCount);
    set.boxes.resize(chunkCount);

    // Pass 1: how many quads each chunk emits (by build index cx*cps + cz).
    std::vector<u32> quads(chunkCount, 0);
    parallelFor(chunkCount, 1, threads, [&](u32 begin, u32 end) {
        ChunkCorners corners;
        for (u32 k = begin; k < end; k++) {
            loadCorners(grid, placeOf(grid, k), planetRadius, corners);
            u32 count = 0;
            for (u32 a = 0; a < cs; a++) {
                for (u32 b = 0; b < cs; b++) count += quadEmitted(corners, a, b, window) ? 1 : 0;
            }
            quads[k] = count;
        }
    });

    std::vector<u32> firstQuad(chunkCount, 0);
    u32 totalQuads = 0;
    for (u32 k = 0; k < chunkCount; k++) {
        firstQuad[k] = totalQuads;
        totalQuads += quads[k];
    }

    // The colour draws, in build order: the generator is sequential, the rest is not.
    // Without colours the generator still moves on as far: two draws a quad of two
    // 32-bit outputs each.
    std::vector<f32> jitter;
    if (shaded) {
        jitter.resize(static_cast<size_t>(totalQuads) * 2);
        for (f32& factor : jitter) factor = colorJitter(random.uniform(0.0, 1.0));
    } else {
        random.engine.discard(static_cast<unsigned long long>(totalQuads) * 2 * OutputsPerDraw);
    }

    // Pass 2: the vertices of every chunk.
    parallelFor(chunkCount, 1, threads, [&](u32 begin, u32 end) {
        ChunkCorners corners;
        // The positions-only form: a chunk's vertices before they are shared.
        std::vector<u8> scratch;
        std::vector<u8> distinct;
        PositionIndexer indexer;
        for (u32 k = begin; k < end; k++) {
            ChunkPlace place = placeOf(grid, k);
            u32 index = place.cz * cps + place.cx;
            BoundingAABB& box = set.boxes[index];
            box.clear();
            if (quads[k] == 0) continue;

            ChunkMeshData& chunk = set.chunks[index];
            chunk.vertexCount = quads[k] * VerticesPerQuad;
            const size_t n = chunk.vertexCount;
            u8* positions = nullptr;
            u8* normals = nullptr;
            u8* colors = nullptr;
            if (shaded) {
                chunk.streams.resize(n * (ChunkMeshData::PositionBytes + ChunkMeshData::NormalBytes +
                                          ChunkMeshData::ColorBytes));
                positions = chunk.streams.data();
                normals = positions + n * ChunkMeshData::PositionBytes;
                colors = normals + n * ChunkMeshData::NormalBytes;
            } else {
                scratch.resize(n * ChunkMeshData::PositionBytes);
                positions = scratch.data();
            }

            loadCorners(grid, place, planetRadius, corners);
            const f32* factors = shaded ? jitter.data() + static_cast<size_t>(firstQuad[k]) * 2 : nullptr;
            size_t v = 0;
            glm::vec3 low(EmptyBoxMin), high(EmptyBoxMax);
            for (u32 a = 0; a < cs; a++) {
                for (u32 b = 0; b < cs; b++) {
                    if (!quadEmitted(corners, a, b, window)) continue;
                    size_t i00 = static_cast<size_t>(a) * corners.side + b;
                    f32 h00 = corners.height[i00];
                    f32 h10 = corners.height[i00 + corners.side];
                    f32 h01 = corners.height[i00 + 1];
                    f32 h11 = corners.height[i00 + corners.side + 1];
                    f32 fa = static_cast<f32>(a);
                    f32 fb = static_cast<f32>(b);
                    glm::vec3 p00(fa, h00, fb);
                    glm::vec3 p10(fa + 1.0f, h10, fb);
                    glm::vec3 p01(fa, h01, fb + 1.0f);
                    glm::vec3 p11(fa + 1.0f, h11, fb + 1.0f);

                    glm::vec3 tri[6];
                    if (splitsAlongP00P11(h00, h10, h01, h11)) {
                        tri[0] = p00; tri[1] = p11; tri[2] = p10;
                        tri[3] = p11; tri[4] = p00; tri[5] = p01;
                    } else {
                        tri[0] = p00; tri[1] = p01; tri[2] = p10;
                        tri[3] = p11; tri[4] = p10; tri[5] = p01;
                    }
                    if (shaded) {
                        glm::vec3 n1 = faceNormal(tri[0], tri[1], tri[2]);
                        glm::vec3 n2 = faceNormal(tri[3], tri[4], tri[5]);
                        // Both triangles take their colour at the height of the first corner.
                        glm::vec4 c1 = baseColor(n1, h00) * factors[0];
                        glm::vec4 c2 = baseColor(n2, h00) * factors[1];
                        factors += 2;
                        for (u32 t = 0; t < VerticesPerQuad; t++) {
                            std::memcpy(normals + (v + t) * ChunkMeshData::NormalBytes, t < 3 ? &n1 : &n2,
                                        ChunkMeshData::NormalBytes);
                            std::memcpy(colors + (v + t) * ChunkMeshData::ColorBytes, t < 3 ? &c1 : &c2,
                                        ChunkMeshData::ColorBytes);
                        }
                    }
                    std::memcpy(positions + v * ChunkMeshData::PositionBytes, tri,
                                VerticesPerQuad * ChunkMeshData::PositionBytes);
                    v += VerticesPerQuad;

                    low = glm::min(low, glm::vec3(fa, std::min(std::min(h00, h10), std::min(h01, h11)), fb));
                    high = glm::max(high, glm::vec3(fa + 1.0f, std::max(std::max(h00, h10), std::max(h01, h11)),
                                                    fb + 1.0f));
                }
            }
            if (!shaded) {
                // The shaded form's vertices, in order, as indices into shared positions.
                distinct.resize(n * ChunkMeshData::PositionBytes);
                chunk.indices.resize(n);
                const u32 kept = indexer.index(positions, static_cast<u32>(n), distinct.data(), chunk.indices.data());
                chunk.streams.assign(distinct.begin(), distinct.begin() + static_cast<std::ptrdiff_t>(kept) *
                                                                            ChunkMeshData::PositionBytes);
            }
            box.active = 1;
            box.minX = low.x + place.origin.x;
            box.maxX = high.x + place.origin.x;
            box.minY = low.y + grid.origin.y;
            box.maxY = high.y + grid.origin.y;
            box.minZ = low.z + place.origin.z;
            box.maxZ = high.z + place.origin.z;
        }
    });
    return set;
}
