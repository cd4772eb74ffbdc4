#include "Engine/Mesh/VertexJoin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
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
// first appearance. Each is joined with the game's hash, and with one that gives every
// vertex the same hash, so that only their bytes tell them apart.
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
    const VertexHash oneHash = [](const std::vector<VertexStream>&, u32) { return u64{7}; };
    for (const VertexHash hash : {VertexHash{vertexHash}, oneHash}) {
        for (const Case& test : cases) {
            SCOPED_TRACE(std::string(test.name) + (hash == oneHash ? ", one hash for all" : ""));
            const std::vector<u8> positions = bytesOf(test.positions), colours = bytesOf(test.colours);
            std::vector<u32> vertices(test.positions.size());
            for (u32 v = 0; v < vertices.size(); v++) vertices[v] = v;
            std::vector<u32> remap;
            const u32 distinct = joinIdenticalVertices({{positions.data(), 4}, {colours.data(), 4}}, vertices, remap, hash);
            EXPECT_EQ(remap, test.remap);
            u32 expected = 0;
            for (u32 number : test.remap) expected = std::max(expected, number + 1);
            EXPECT_EQ(distinct, expected);
        }
    }
}

// Only the vertices asked for are numbered, in the order they are asked for.
TEST(VertexJoin, JoinsOnlyTheVerticesGiven)
{
    const std::vector<u8> positions = bytesOf({4, 9, 4, 8, 9, 4});
    std::vector<u32> remap;
    EXPECT_EQ(joinIdenticalVertices({{positions.data(), 4}}, {1, 2, 4, 5}, remap), 2u);
    EXPECT_EQ(remap, (std::vector<u32>{0, 1, 0, 1}));
}

// A model's primitives, indexed by bytes or not at all, sharing an accessor: each reads
// its own joined vertices through 32-bit indices that draw the same corners as before,
// and only the vertices it draws, numbered in the accessor's order.
TEST(VertexJoin, EachPrimitiveDrawsWhatItDrewThroughItsJoinedVertices)
{
    using namespace GltfModel;
    Model model;
    // A quad of six corners, drawn in order and through byte indices backwards, and a
    // strip of three corners all at one point.
    model.accessors.push_back({5126, "SCALAR", 6, bytesOf({0, 1, 2, 2, 1, 3})});
    model.accessors.push_back({5121, "SCALAR", 6, {5, 4, 3, 2, 1, 0}});
    model.accessors.push_back({5126, "SCALAR", 3, bytesOf({4, 4, 4})});
    model.accessors.push_back({5121, "SCALAR", 3, {4, 5, 3}});
    model.meshes.push_back({"quads", {}});
    model.meshes[0].primitives.push_back({{{"POSITION", 0}}, std::nullopt, 4});
    model.meshes[0].primitives.push_back({{{"POSITION", 0}}, 1u, 4});
    model.meshes[0].primitives.push_back({{{"POSITION", 2}}, std::nullopt, 5});
    model.meshes[0].primitives.push_back({{{"POSITION", 0}}, 3u, 4});
    const Model before = model;
    joinIdenticalVertices(model);

    ASSERT_EQ(model.accessors.size(), 8u);
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
    // The last part of the shared accessor: its last three vertices.
    EXPECT_EQ(values(primitives[3].attributes[0].second), (std::vector<f32>{2, 1, 3}));
    EXPECT_EQ(indices(*primitives[3].indices), (std::vector<u32>{1, 2, 0}));
}
