#include "Engine/Mesh/VertexJoin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<u8> bytesOf(const std::vector<f32>& values)
{
    std::vector<u8> bytes(values.size() * sizeof(f32));
    if (!values.empty()) std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

} // namespace

// Each row: a position and a colour stream (one float each a vertex), and the numbers
// the vertices take: equal in both streams' bytes makes one, numbered in the order of
// first appearance.
TEST(VertexJoin, VerticesEqualInEveryStreamBecomeOneInTheOrderTheyCome)
{
    struct Case {
        const char* name;
        std::vector<f32> positions;
        std::vector<f32> colours;
        std::vector<u32> remap;
    };
    const Case cases[] = {
        {"none", {}, {}, {}},
        {"all distinct", {3, 1, 2}, {0, 0, 0}, {0, 1, 2}},
        {"all at one point", {5, 5, 5, 5}, {1, 1, 1, 1}, {0, 0, 0, 0}},
        {"one point, colours that differ", {5, 5, 5, 5}, {1, 2, 1, 2}, {0, 1, 0, 1}},
        {"equals apart, later numbers after them", {9, 1, 9, 0, 1, 7}, {0, 0, 0, 0, 0, 0}, {0, 1, 0, 2, 1, 3}},
        {"a sign makes another vertex", {0.0f, -0.0f, 0.0f}, {0, 0, 0}, {0, 1, 0}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const std::vector<u8> positions = bytesOf(test.positions), colours = bytesOf(test.colours);
        std::vector<u32> remap;
        const u32 distinct = joinIdenticalVertices({{positions.data(), 4}, {colours.data(), 4}},
                                                   static_cast<u32>(test.positions.size()), remap);
        EXPECT_EQ(remap, test.remap);
        u32 expected = 0;
        for (u32 number : test.remap) expected = std::max(expected, number + 1);
        EXPECT_EQ(distinct, expected);
    }
}

// A model's primitives, indexed by bytes or not at all, sharing an accessor: each reads
// its own joined vertices through 32-bit indices that draw the same corners as before.
TEST(VertexJoin, EachPrimitiveDrawsWhatItDrewThroughItsJoinedVertices)
{
    using namespace GltfModel;
    Model model;
    // A quad of six corners, drawn in order and through byte indices backwards, and a
    // strip of three corners all at one point.
    model.accessors.push_back({5126, "SCALAR", 6, bytesOf({0, 1, 2, 2, 1, 3})});
    model.accessors.push_back({5121, "SCALAR", 6, {5, 4, 3, 2, 1, 0}});
    model.accessors.push_back({5126, "SCALAR", 3, bytesOf({4, 4, 4})});
    model.meshes.push_back({"quads", {}});
    model.meshes[0].primitives.push_back({{{"POSITION", 0}}, std::nullopt, 4});
    model.meshes[0].primitives.push_back({{{"POSITION", 0}}, 1u, 4});
    model.meshes[0].primitives.push_back({{{"POSITION", 2}}, std::nullopt, 5});
    const Model before = model;
    joinIdenticalVertices(model);

    ASSERT_EQ(model.accessors.size(), 6u);
    const auto values = [&model](u32 accessor) {
        const Accessor& a = model.accessors[accessor];
        std::vector<f32> out(a.count);
        std::memcpy(out.data(), a.bytes.data(), a.bytes.size());
        return out;
    };
    const auto indices = [&model](u32 accessor) {
        const Accessor& a = model.accessors[accessor];
        EXPECT_EQ(a.componentType, 5125u);
        std::vector<u32> out(a.count);
        std::memcpy(out.data(), a.bytes.data(), a.bytes.size());
        return out;
    };
    const std::vector<Primitive>& primitives = model.meshes[0].primitives;
    EXPECT_EQ(values(primitives[0].attributes[0].second), (std::vector<f32>{0, 1, 2, 3}));
    EXPECT_EQ(indices(*primitives[0].indices), (std::vector<u32>{0, 1, 2, 2, 1, 3}));
    EXPECT_EQ(values(primitives[1].attributes[0].second), (std::vector<f32>{0, 1, 2, 3}));
    EXPECT_EQ(indices(*primitives[1].indices), (std::vector<u32>{3, 1, 2, 2, 1, 0}));
    EXPECT_EQ(values(primitives[2].attributes[0].second), (std::vector<f32>{4}));
    EXPECT_EQ(indices(*primitives[2].indices), (std::vector<u32>{0, 0, 0}));
    EXPECT_EQ(primitives[2].mode, before.meshes[0].primitives[2].mode);
}
