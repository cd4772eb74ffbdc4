#include "Engine/Mesh/ModelImport.h"
#include "Engine/Mesh/VertexLayout.h"
#include "GltfTestFiles.h"
#include "ScratchFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace {

using nlohmann::json;

// ---- Models written by hand, to exercise the join

struct Vertex {
    std::array<f32, 3> position;
    std::array<f32, 3> normal{0, 0, 1};
    std::array<f32, 4> colour{1, 1, 1, 1};
};

// A primitive reading the vertex accessors of set `vertexSet`; `indexType` 0 for none,
// else 5121, 5123 or 5125 (bytes, shorts or ints).
struct Part {
    u32 vertexSet = 0;
    u32 mode = 4;
    u32 indexType = 0;
    std::vector<u32> indices;
};

struct PartsMesh {
    std::optional<std::string> name;
    std::vector<Part> parts;
};

// A glTF binary of the meshes: each set of vertices one POSITION, NORMAL and COLOR_0
// accessor that its primitives share; each index list an accessor of its own.
std::string handMadeModel(const std::vector<std::vector<Vertex>>& vertexSets, const std::vector<PartsMesh>& meshes)
{
    json accessors = json::array(), views = json::array();
    std::string bin;
    const auto add = [&](const std::string& bytes, u32 componentType, const char* type, size_t count) {
        bin.resize((bin.size() + 3) / 4 * 4, '\0');
        views.push_back({{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", bytes.size()}});
        bin += bytes;
        accessors.push_back(
            {{"bufferView", views.size() - 1}, {"componentType", componentType}, {"count", count}, {"type", type}});
        return accessors.size() - 1;
    };
    const auto floats = [](const std::vector<Vertex>& vertices, auto member) {
        std::string bytes;
        for (const Vertex& vertex : vertices) {
            const auto& values = vertex.*member;
            bytes.append(reinterpret_cast<const char*>(values.data()), sizeof values);
        }
        return bytes;
    };
    std::vector<json> attributes;
    for (const std::vector<Vertex>& vertices : vertexSets) {
        attributes.push_back({{"POSITION", add(floats(vertices, &Vertex::position), 5126, "VEC3", vertices.size())},
                              {"NORMAL", add(floats(vertices, &Vertex::normal), 5126, "VEC3", vertices.size())},
                              {"COLOR_0", add(floats(vertices, &Vertex::colour), 5126, "VEC4", vertices.size())}});
    }
    json meshList = json::array(), nodes = json::array(), roots = json::array();
    for (const PartsMesh& mesh : meshes) {
        json primitives = json::array();
        for (const Part& part : mesh.parts) {
            json primitive = {{"attributes", attributes[part.vertexSet]}, {"mode", part.mode}};
            if (part.indexType != 0) {
                const size_t size = part.indexType == 5121 ? 1 : part.indexType == 5123 ? 2 : 4;
                std::string bytes;
                for (u32 index : part.indices) bytes.append(reinterpret_cast<const char*>(&index), size);
                primitive["indices"] = add(bytes, part.indexType, "SCALAR", part.indices.size());
            }
            primitives.push_back(primitive);
        }
        json written = {{"primitives", primitives}};
        if (mesh.name.has_value()) written["name"] = *mesh.name;
        roots.push_back(nodes.size());
        nodes.push_back({{"mesh", meshList.size()}});
        meshList.push_back(written);
    }
    const json document = {{"asset", {{"version", "2.0"}}}, {"scene", 0}, {"scenes", {{{"nodes", roots}}}},
                           {"nodes", nodes}, {"meshes", meshList}, {"accessors", accessors},
                           {"bufferViews", views}, {"buffers", {{{"byteLength", bin.size()}}}}};
    return glbOf(document.dump(), bin);
}

// `count` vertices on a line, each distinct.
std::vector<Vertex> line(u32 count)
{
    std::vector<Vertex> vertices;
    for (u32 k = 0; k < count; k++) {
        vertices.push_back({{static_cast<f32>(k), static_cast<f32>(k % 3), 0}, {0, 0, 1}, {1, 0, 0, 1}});
    }
    return vertices;
}

std::vector<u32> upTo(u32 first, u32 end)
{
    std::vector<u32> values;
    for (u32 k = first; k < end; k++) values.push_back(k);
    return values;
}

class ModelJoin : public ::testing::Test {
protected:
    ScratchFolder scratch{"model-join-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())};
};

} // namespace

// The game joins a model's vertices before the importer reads it; the importer, reading
// the file itself with its own join, must give the same meshes: only the vertices each
// primitive's faces draw, in the order of its accessor, every name, layout, stream and
// index the same. And the room the game measures before the import is what the meshes
// then take: they load in exactly that room and are refused in a byte less.
//
// The two joins differ by design in one thing: the importer also joins positions a few
// units in the last place apart, and +0 with -0, where the game joins equal bytes only.
// Those rows give how many more vertices the game keeps.
TEST_F(ModelJoin, GivesTheMeshesOfTheImportersOwnJoinInTheRoomItMeasured)
{
    // A quad of two triangles, its shared corners written twice.
    std::vector<Vertex> repeated = line(4);
    repeated.insert(repeated.begin() + 3, {repeated[2], repeated[1]});
    // Sixty distinct vertices; eight parts of them (each a mesh's material).
    const std::vector<Vertex> shared = line(60);
    std::vector<Part> eighths;
    for (u32 p = 0; p < 8; p++) {
        std::vector<u32> part = {7 * p + 2, 7 * p, 7 * p + 1, 7 * p + 5, 7 * p + 2, 7 * p + 1};
        eighths.push_back({0, 4, p % 2 == 0 ? 5123u : 5121u, part});
    }
    std::vector<Vertex> signedZeros = line(3);
    signedZeros.push_back(signedZeros[0]);
    signedZeros.back().position[0] = -0.0f;
    std::vector<Vertex> nearby = line(3);
    nearby.push_back(nearby[1]);
    nearby.back().position[0] = std::nextafter(nearby[1].position[0], 2.0f);

    struct Case {
        const char* name;
        std::vector<std::vector<Vertex>> vertexSets;
        std::vector<PartsMesh> meshes;
        std::vector<MeshLayoutOverride> overrides;
        u32 moreVerticesKept = 0; // than the importer's own join keeps
    };
    const Case cases[] = {
        {"eight primitives sharing one accessor, each drawing its part by shorts or bytes", {shared},
         {{"Wall", eighths}}},
        {"repeated vertices, no indices", {repeated}, {{"Wall", {{0, 4, 0, {}}}}}},
        {"repeated vertices drawn by ints", {repeated}, {{"Wall", {{0, 4, 5125, {5, 4, 3, 0, 1, 2}}}}}},
        {"vertices no face draws", {line(9)}, {{"Wall", {{0, 4, 5121, {8, 2, 5, 5, 2, 6}}}}}},
        {"a strip by bytes, a vertex drawn twice", {repeated}, {{"Wall", {{0, 5, 5121, {0, 1, 2, 4, 5, 1}}}}}},
        {"a strip without indices", {line(7)}, {{"Wall", {{0, 5, 0, {}}}}}},
        {"a fan by shorts, skipping vertices", {line(9)}, {{"Wall", {{0, 6, 5123, {0, 8, 6, 4, 2}}}}}},
        {"a fan without indices", {repeated}, {{"Wall", {{0, 6, 0, {}}}}}},
        {"two meshes, the second with parts of both sets", {line(12), repeated},
         {{"Base", {{0, 4, 5121, upTo(0, 6)}}}, {"Turret", {{0, 4, 5121, upTo(6, 12)}, {1, 4, 0, {}}}}}},
        {"a mesh named \"\", which the importer names meshes[0], in that name's layout", {line(6)},
         {{"", {{0, 4, 0, {}}}}}, {{"meshes[0]", vertexLayoutPosition}, {"", vertexLayoutPosNormalColorUv}}},
        {"a mesh without a name, of two parts: meshes[0]-0 and meshes[0]-1", {line(6)},
         {{std::nullopt, {{0, 4, 5121, {0, 1, 2}}, {0, 4, 5121, {3, 4, 5}}}}},
         {{"meshes[0]-1", vertexLayoutPosition}}},
        {"+0 and -0: the importer joins them", {signedZeros}, {{"Wall", {{0, 4, 5121, {0, 1, 2, 3, 1, 2}}}}}, {}, 1},
        {"positions a unit in the last place apart: the importer joins them", {nearby},
         {{"Wall", {{0, 4, 5121, {0, 1, 2, 0, 3, 2}}}}}, {}, 1},
    };
    const std::string path = (scratch / "model.glb").string();
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        writeBytes(path, handMadeModel(test.vertexSets, test.meshes));
        const ImportedModel checked = importModel(path.c_str(), vertexLayoutPosNormalColor, test.overrides);
        const ImportedModel direct = importedByTheImporterItself(path, vertexLayoutPosNormalColor, test.overrides);
        if (test.moreVerticesKept == 0) {
            expectSameMeshes(checked, direct);
        } else {
            ASSERT_EQ(checked.error, "");
            ASSERT_EQ(checked.meshes.size(), 1u);
            ASSERT_EQ(direct.meshes.size(), 1u);
            EXPECT_EQ(checked.meshes[0].vertices.vertexCount, direct.meshes[0].vertices.vertexCount + test.moreVerticesKept);
            EXPECT_EQ(checked.meshes[0].indices.size(), direct.meshes[0].indices.size());
        }
        // The room measured before the import is what the meshes take.
        const u64 taken = meshStorageBytes(checked, GameMeshStorageAlignment);
        const ImportedModel fitting = importModel(path.c_str(), vertexLayoutPosNormalColor, test.overrides,
                                                  {taken, GameMeshStorageBytes, GameMeshStorageAlignment});
        EXPECT_EQ(fitting.error, "");
        const ImportedModel crowded = importModel(path.c_str(), vertexLayoutPosNormalColor, test.overrides,
                                                  {taken - 1, GameMeshStorageBytes, GameMeshStorageAlignment});
        EXPECT_NE(crowded.error.find("take " + std::to_string(taken) + " bytes"), std::string::npos) << crowded.error;
    }
}
