#include "World/Water/WaterGrid.h"

std::vector<glm::vec2> waterGridVertices()
{
    using namespace WaterGrid;
    std::vector<glm::vec2> vertices(VertexCount);
    const f32 last = static_cast<f32>(Side - 1);
    for (u32 j = 0; j < Side; j++) {
        for (u32 i = 0; i < Side; i++) {
            vertices[j * Side + i] = {2.0f * static_cast<f32>(i) / last - 1.0f, 2.0f * static_cast<f32>(j) / last - 1.0f};
        }
    }
    return vertices;
}

std::vector<u32> waterGridIndices()
{
    using namespace WaterGrid;
    std::vector<u32> indices;
    indices.reserve(IndexCount);
    for (u32 i = 0; i < CellsPerSide; i++) {
        for (u32 j = 0; j < CellsPerSide; j++) {
            const u32 b = i + Side * j;
            indices.insert(indices.end(), {b, b + Side, b + Side + 1, b, b + Side + 1, b + 1});
        }
    }
    return indices;
}
