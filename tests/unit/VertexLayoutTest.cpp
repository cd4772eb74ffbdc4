#include "Engine/Mesh/Mesh.h"
#include "Engine/Mesh/VertexLayout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Expected {
    u32 location, format, size, kind;
};

void expectLayout(const VertexLayout* layout, u32 stride, std::vector<Expected> attributes)
{
    ASSERT_NE(layout, nullptr);
    EXPECT_EQ(layout->stride, stride);
    ASSERT_EQ(layout->attributes.size(), attributes.size());
    u32 sum = 0;
    for (size_t i = 0; i < attributes.size(); i++) {
        const VertexAttribute& a = layout->attributes[i];
        EXPECT_EQ(a.location, attributes[i].location) << i;
        EXPECT_EQ(a.format, attributes[i].format) << i;
        EXPECT_EQ(a.size, attributes[i].size) << i;
        EXPECT_EQ(a.kind, attributes[i].kind) << i;
        sum += a.size;
    }
    EXPECT_EQ(sum, stride);
}

const f32* vec(const PlanarVertexData& data, u32 attribute, u32 vertex)
{
    return static_cast<const f32*>(data.stream(attribute)) + vertex * (data.layout->attributes[attribute].size / 4);
}

constexpr u32 RGB32F = VK_FORMAT_R32G32B32_SFLOAT, RG32F = VK_FORMAT_R32G32_SFLOAT,
              RGBA32F = VK_FORMAT_R32G32B32A32_SFLOAT, RGBA8 = VK_FORMAT_R8G8B8A8_UNORM;

} // namespace

TEST(VertexLayout, TheEightGlobalLayouts)
{
    expectLayout(vertexLayoutEmpty, 0, {});
    expectLayout(vertexLayoutPosition, 12, {{0, RGB32F, 12, 1}});
    expectLayout(vertexLayoutPosNormalColorUv, 48,
                 {{0, RGB32F, 12, 1}, {1, RGB32F, 12, 2}, {2, RGBA32F, 16, 5}, {3, RG32F, 8, 3}});
    expectLayout(vertexLayoutPosNormalUv, 32, {{0, RGB32F, 12, 1}, {1, RGB32F, 12, 2}, {2, RG32F, 8, 3}});
    expectLayout(vertexLayoutPosNormalColor, 40, {{0, RGB32F, 12, 1}, {1, RGB32F, 12, 2}, {2, RGBA32F, 16, 5}});
    expectLayout(vertexLayoutUi, 20, {{0, RG32F, 8, 1}, {1, RG32F, 8, 3}, {2, RGBA8, 4, 6}});
    expectLayout(vertexLayoutLine, 24, {{0, RGB32F, 12, 1}, {1, RGB32F, 12, 4}});
    expectLayout(vertexLayoutUv, 8, {{0, RG32F, 8, 3}});
}

TEST(VertexLayout, PlanarDataKeepsOneStreamPerAttribute)
{
    PlanarVertexData data(vertexLayoutPosNormalColor, 5);
    EXPECT_EQ(data.streamOffsets, (std::vector<u32>{0, 60, 120}));
    EXPECT_EQ(data.data.size(), 200u);
    EXPECT_EQ(data.stream(2), data.data.data() + 120);
}

TEST(Cube, VerticesAndIndices)
{
    PlanarVertexData data = Cube::generateVertices(2, 4, 6);
    ASSERT_EQ(data.vertexCount, 24u);
    EXPECT_EQ(data.layout, vertexLayoutPosNormalUv);
    const f32* v0 = vec(data, 0, 0);
    EXPECT_EQ(v0[0], -1);
    EXPECT_EQ(v0[1], -2);
    EXPECT_EQ(v0[2], -3);
    const f32* v7 = vec(data, 0, 7);
    EXPECT_EQ(v7[0], 1);
    EXPECT_EQ(v7[1], 2);
    EXPECT_EQ(v7[2], 3);
    // Face 4 (top) has normal +Y; texture coordinates (1,1), (0,1), (1,0), (0,0).
    const f32* n = vec(data, 1, 17);
    EXPECT_EQ(n[0], 0);
    EXPECT_EQ(n[1], 1);
    EXPECT_EQ(n[2], 0);
    const f32 uvs[4][2] = {{1, 1}, {0, 1}, {1, 0}, {0, 0}};
    for (u32 v = 0; v < 24; v++) {
        EXPECT_EQ(vec(data, 2, v)[0], uvs[v % 4][0]);
        EXPECT_EQ(vec(data, 2, v)[1], uvs[v % 4][1]);
    }
    std::vector<u32> indices = Cube::generateIndices();
    ASSERT_EQ(indices.size(), 36u);
    EXPECT_EQ(std::vector<u32>(indices.begin(), indices.begin() + 6), (std::vector<u32>{0, 2, 1, 3, 1, 2}));
    EXPECT_EQ(std::vector<u32>(indices.end() - 6, indices.end()), (std::vector<u32>{20, 22, 21, 23, 21, 22}));
}

TEST(Sphere, VerticesAndIndices)
{
    PlanarVertexData data = Sphere::generateVertices(1);
    ASSERT_EQ(data.vertexCount, 121u);
    EXPECT_NEAR(vec(data, 0, 0)[0], 0, 1e-6);
    EXPECT_NEAR(vec(data, 0, 0)[1], 1, 1e-6);
    EXPECT_NEAR(vec(data, 0, 0)[2], 0, 1e-6);
    EXPECT_EQ(vec(data, 2, 0)[0], 0);
    EXPECT_EQ(vec(data, 2, 0)[1], 0);
    EXPECT_NEAR(vec(data, 0, 120)[0], 0, 1e-6);
    EXPECT_NEAR(vec(data, 0, 120)[1], -1, 1e-6);
    EXPECT_NEAR(vec(data, 0, 120)[2], 0, 1e-6);
    // Radius scales positions only; normals stay unit length.
    PlanarVertexData big = Sphere::generateVertices(3);
    for (u32 v = 0; v < 121; v++) {
        const f32* p = vec(big, 0, v);
        const f32* nrm = vec(big, 1, v);
        EXPECT_NEAR(std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]), 3, 1e-5);
        EXPECT_NEAR(p[0], 3 * nrm[0], 1e-5);
    }
    // Columns 0 and 10 coincide.
    EXPECT_NEAR(vec(data, 0, 11 * 5)[0], vec(data, 0, 11 * 5 + 10)[0], 1e-6);
    std::vector<u32> indices = Sphere::generateIndices();
    ASSERT_EQ(indices.size(), 600u);
    EXPECT_EQ(std::vector<u32>(indices.begin(), indices.begin() + 6), (std::vector<u32>{0, 1, 12, 12, 11, 0}));
    // j = 9, i = 9: q = 108.
    EXPECT_EQ(std::vector<u32>(indices.end() - 6, indices.end()), (std::vector<u32>{108, 109, 120, 120, 119, 108}));
}

TEST(FindMeshByName, EmptyListOrUnknownName)
{
    EXPECT_EQ(findMeshByName({}, "castle"), nullptr);
}
