#pragma once

#include "Engine/Types.h"
#include "World/Culling/BoundingAABB.h"

#include <glm/glm.hpp>

#include <cstring>
#include <vector>

class Random;
class TerrainGrid;

// What a chunk set's meshes hold: everything the scene pipelines read, or only the
// positions, which the shadow pipeline reads.
enum class ChunkForm : u8 {
    Shaded,           // planar position, normal and colour streams, six vertices a quad
    PositionsIndexed, // each distinct position once, and an index per vertex
};

// One chunk's vertices. Shaded: planar streams in one block: vertexCount chunk-local
// positions (3 floats), then as many normals (3 floats), then as many linear colours
// (4 floats); six vertices per emitted quad, two triangles sharing nothing.
// Positions indexed: `streams` holds the chunk's distinct positions (3 floats each) and
// `indices` one entry per vertex naming its position, vertex k of the shaded form being
// index k; there are no normals or colours.
struct ChunkMeshData {
    static_assert(sizeof(glm::vec3) == 12 && sizeof(glm::vec4) == 16, "vertex streams are tightly packed floats");
    static constexpr u32 PositionBytes = 12;
    static constexpr u32 NormalBytes = 12;
    static constexpr u32 ColorBytes = 16;

    u32 vertexCount = 0;
    std::vector<u8> streams;
    std::vector<u32> indices; // empty in the shaded form

    bool indexed() const { return !indices.empty(); }
    // How many positions the position stream holds.
    u32 positionCount() const
    {
        return indexed() ? static_cast<u32>(streams.size() / PositionBytes) : vertexCount;
    }
    glm::vec3 position(u32 vertex) const
    {
        return read<glm::vec3>(PositionBytes * static_cast<size_t>(indexed() ? indices[vertex] : vertex));
    }
    // Shaded form only.
    glm::vec3 normal(u32 vertex) const { return read<glm::vec3>(PositionBytes * vertexCount + NormalBytes * vertex); }
    glm::vec4 color(u32 vertex) const
    {
        return read<glm::vec4>((PositionBytes + NormalBytes) * vertexCount + ColorBytes * vertex);
    }

private:
    template <typename T>
    T read(size_t offset) const
    {
        T value;
        std::memcpy(&value, streams.data() + offset, sizeof(T));
        return value;
    }
};

// One chunk set as CPU data, per chunk (index cz*chunksPerSide + cx): its vertices and
// its box in world space (inactive when the chunk has no quad).
struct ChunkSetData {
    glm::vec2 window{0.0f};
    ChunkForm form = ChunkForm::Shaded;
    u32 chunksPerSide = 0;
    u32 chunkSize = 0;
    std::vector<ChunkMeshData> chunks;
    std::vector<BoundingAABB> boxes;
};

// The sRGB transfer function on an 8-bit colour; alpha 1.
glm::vec4 srgbToLinear(u32 r, u32 g, u32 b);

// A triangle's colour before its brightness jitter: sand, grass, dirt or rock by the
// normal's y and the height of the quad's first corner (strict comparisons).
glm::vec4 baseColor(const glm::vec3& normal, f32 height);

// The brightness factor of one uniform draw u in [0, 1): 1 + (u - 0.5)*0.1.
f32 colorJitter(f64 u);

// Builds one chunk set of the stepped grid: the quads of which some corner lies inside
// the altitude window (height above a sphere of `planetRadius` centred that far below
// the origin) and some corner above the deep sea floor. Each emitted triangle takes
// one uniform draw from `random`, in the order cx, cz, then a, b within the chunk,
// first triangle before second, so sets built in the same order get the same colours
// with any number of `threads`. The positions-only form draws the same from `random`
// (the colours it does not keep would have taken them) and has the same vertices in the
// same order, each chunk's distinct positions shared through its indices.
ChunkSetData buildChunkSet(const TerrainGrid& grid, glm::vec2 window, f32 planetRadius, Random& random,
                           u32 threads, ChunkForm form = ChunkForm::Shaded);
