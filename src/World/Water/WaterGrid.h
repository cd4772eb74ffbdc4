#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>

#include <vector>

// The water's screen grid: 100 x 100 vertices over clip space [-1, 1]^2, two triangles
// per cell. The water shaders move every vertex onto the sea surface.
namespace WaterGrid {
constexpr u32 Side = 100;                        // vertices per row and column
constexpr u32 VertexCount = Side * Side;         // 10,000
constexpr u32 CellsPerSide = Side - 1;
constexpr u32 IndexCount = CellsPerSide * CellsPerSide * 6; // 58,806
} // namespace WaterGrid

// Vertex j * 100 + i at (2i/99 - 1, 2j/99 - 1).
std::vector<glm::vec2> waterGridVertices();

// Cells with i outer and j inner, b = i + 100 j: (b, b+100, b+101) and (b, b+101, b+1).
std::vector<u32> waterGridIndices();
