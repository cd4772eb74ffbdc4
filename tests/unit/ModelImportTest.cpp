#include "Engine/Helper/QuotedText.h"
#include "Engine/Mesh/ModelImport.h"
#include "Engine/Mesh/ModelLoader.h"
#include "Engine/Mesh/VertexLayout.h"
#include "GltfTestFiles.h"
#include "PrintableLine.h"
#include "ResidentMemory.h"
#include "ScratchFiles.h"

#include <assimp/Importer.hpp>

#include <assimp/Exporter.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <glm/glm.hpp>
#include <gtest/gtest.h>
#include <malloc.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// ---- Writing small test files through Assimp's own glb exporter

struct TestMesh {
    std::string name;
    std::vector<aiVector3D> positions;
    std::vector<aiVector3D> normals;   // empty: none
    std::vector<aiColor4D> colors;     // empty: none
    std::vector<aiVector3D> texcoords; // empty: none
    std::vector<std::vector<unsigned>> faces;
    aiPrimitiveType type = aiPrimitiveType_TRIANGLE;
};

TestMesh triangle(const std::string& name)
{
    TestMesh mesh;
    mesh.name = name;
    mesh.positions = {{1, 2, 3}, {0, 0, 0}, {1, 0, 0}};
    mesh.normals = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    mesh.colors = {{1, 0, 0, 1}, {0, 1, 0, 0.5f}, {0, 0, 1, 1}};
    mesh.texcoords = {{0.25f, 0.75f, 0}, {0, 0, 0}, {1, 0, 0}};
    mesh.faces = {{0, 1, 2}};
    return mesh;
}

template <typename T> T* copyArray(const std::vector<T>& values)
{
    if (values.empty()) {
        return nullptr;
    }
    T* array = new T[values.size()];
    std::copy(values.begin(), values.end(), array);
    return array;
}

void writeModel(const fs::path& file, const std::vector<TestMesh>& meshes)
{
    auto scene = std::make_unique<aiScene>();
    scene->mRootNode = new aiNode("Root");
    scene->mNumMaterials = 1;
    scene->mMaterials = new aiMaterial*[1]{new aiMaterial()};
    scene->mNumMeshes = static_cast<unsigned>(meshes.size());
    scene->mMeshes = meshes.empty() ? nullptr : new aiMesh*[meshes.size()];
    scene->mRootNode->mNumChildren = scene->mNumMeshes;
    scene->mRootNode->mChildren = meshes.empty() ? nullptr : new aiNode*[meshes.size()];
    for (unsigned i = 0; i < meshes.size(); i++) {
        const TestMesh& source = meshes[i];
        auto* mesh = new aiMesh();
        mesh->mName = source.name;
        mesh->mPrimitiveTypes = source.type;
        mesh->mNumVertices = static_cast<unsigned>(source.positions.size());
        mesh->mVertices = copyArray(source.positions);
        mesh->mNormals = copyArray(source.normals);
        mesh->mColors[0] = copyArray(source.colors);
        mesh->mTextureCoords[0] = copyArray(source.texcoords);
        mesh->mNumUVComponents[0] = source.texcoords.empty() ? 0 : 2;
        mesh->mNumFaces = static_cast<unsigned>(source.faces.size());
        mesh->mFaces = new aiFace[source.faces.size()];
        for (size_t f = 0; f < source.faces.size(); f++) {
            mesh->mFaces[f].mNumIndices = static_cast<unsigned>(source.faces[f].size());
            mesh->mFaces[f].mIndices = copyArray(source.faces[f]);
        }
        scene->mMeshes[i] = mesh;
        auto* node = new aiNode(source.name);
        node->mParent = scene->mRootNode;
        node->mNumMeshes = 1;
        node->mMeshes = new unsigned[1]{i};
        scene->mRootNode->mChildren[i] = node;
    }
    Assimp::Exporter exporter;
    ASSERT_EQ(exporter.Export(scene.get(), "glb2", file.string()), AI_SUCCESS) << exporter.GetErrorString();
}

// ---- Reading planar streams back

const VertexAttribute* attributeOfKind(const ImportedMesh& mesh, u32 kind, u32& index)
{
    for (u32 i = 0; i < mesh.layout->attributes.size(); i++) {
        if (mesh.layout->attributes[i].kind == kind) {
            index = i;
            return &mesh.layout->attributes[i];
        }
    }
    return nullptr;
}

glm::vec4 element(const ImportedMesh& mesh, u32 kind, u32 vertex)
{
    u32 index = 0;
    const VertexAttribute* attribute = attributeOfKind(mesh, kind, index);
    glm::vec4 value(0.0f);
    if (attribute != nullptr) {
        const u8* stream = static_cast<const u8*>(mesh.vertices.stream(index));
        std::memcpy(&value, stream + size_t{vertex} * attribute->size, attribute->size);
    }
    return value;
}

glm::vec3 position(const ImportedMesh& mesh, u32 vertex)
{
    return glm::vec3(element(mesh, AttributePosition, vertex));
}

struct Bounds {
    glm::vec3 min{1e30f};
    glm::vec3 max{-1e30f};
};

Bounds bounds(const ImportedMesh& mesh)
{
    Bounds b;
    for (u32 k = 0; k < mesh.vertices.vertexCount; k++) {
        b.min = glm::min(b.min, position(mesh, k));
        b.max = glm::max(b.max, position(mesh, k));
    }
    return b;
}

// Triangles whose corner order disagrees with their vertex normals: seen from the
// side the normals point to, every triangle must run counter-clockwise (as the
// engine's generated cube does), or back-face culling drops it.
u32 inwardTriangles(const ImportedMesh& mesh)
{
    u32 wrong = 0;
    for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        u32 a = mesh.indices[i], b = mesh.indices[i + 1], c = mesh.indices[i + 2];
        glm::vec3 n = glm::cross(position(mesh, b) - position(mesh, a), position(mesh, c) - position(mesh, a));
        if (glm::length(n) < 1e-7f) {
            continue; // degenerate: nothing to cull
        }
        glm::vec3 normals = glm::vec3(element(mesh, AttributeNormal, a) + element(mesh, AttributeNormal, b) +
                                      element(mesh, AttributeNormal, c));
        if (glm::dot(n, normals) <= 0.0f) {
            wrong++;
        }
    }
    return wrong;
}

// Triangles whose corners differ in colour. The models colour whole faces; a mixed
// triangle means that the library joined corners of differently coloured faces.
u32 mixedColourTriangles(const ImportedMesh& mesh)
{
    u32 mixed = 0;
    for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        glm::vec4 a = element(mesh, AttributeVertexColor, mesh.indices[i]);
        if (a != element(mesh, AttributeVertexColor, mesh.indices[i + 1]) ||
            a != element(mesh, AttributeVertexColor, mesh.indices[i + 2])) {
            mixed++;
        }
    }
    return mixed;
}

void expectVec(glm::vec4 actual, glm::vec4 expected)
{
    for (int i = 0; i < 4; i++) {
        EXPECT_NEAR(actual[i], expected[i], 1e-6f) << "component " << i;
    }
}

class ModelImport : public ::testing::Test {
protected:
    fs::path root;      // this test's own, in the temporary folder
    fs::path directory; // the models' folder, in `root`
    fs::path outside;   // another folder in `root`

    void SetUp() override
    {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        root = scratchPath(std::string("model-import-") + test->name());
        directory = root / "models";
        outside = root / "outside";
        fs::create_directories(directory);
        fs::create_directories(outside);
    }
    void TearDown() override { fs::remove_all(root); }

    std::string file(const char* name) const { return (directory / name).string(); }

    // The error of importing `path` with the portal's arguments, after checking that
    // it is one line naming the file and that no mesh comes back.
    std::string refusal(const std::string& path)
    {
        ImportedModel model = importModel(path.c_str(), vertexLayoutPosNormalUv,
                                          {{"Portal", vertexLayoutPosNormalColorUv}});
        EXPECT_TRUE(model.meshes.empty());
        EXPECT_NE(model.error.find(path), std::string::npos) << model.error;
        EXPECT_EQ(linePrintableProblem(model.error), "") << model.error;
        return model.error;
    }
};

} // namespace

TEST_F(ModelImport, MapsAxesAndTakesLayoutsByMeshName)
{
    writeModel(directory / "portal.glb", {triangle("Portal"), triangle("PortalFrame")});
    ImportedModel model =
        importModel(file("portal.glb").c_str(), vertexLayoutPosNormalUv, {{"Portal", vertexLayoutPosNormalColorUv}});
    ASSERT_EQ(model.error, "");
    ASSERT_EQ(model.meshes.size(), 2u);

    const ImportedMesh& portal = model.meshes[0];
    EXPECT_EQ(portal.name, "Portal");
    EXPECT_EQ(portal.layout, vertexLayoutPosNormalColorUv);
    EXPECT_EQ(portal.layout->stride, 48u);
    EXPECT_EQ(portal.vertices.streamOffsets.size(), 4u);
    EXPECT_EQ(portal.vertices.data.size(), 48u * 3);
    ASSERT_EQ(portal.indices.size(), 3u);
    // The vertex at (1, 2, 3) with normal (0, 0, 1), coordinate (0.25, 0.75) and red.
    u32 k = 0;
    while (k < 3 && position(portal, k) != glm::vec3(-3, 2, -1)) k++;
    ASSERT_LT(k, 3u) << "no vertex at (-3, 2, -1)";
    expectVec(element(portal, AttributeNormal, k), {-1, 0, 0, 0});
    expectVec(element(portal, AttributeTexcoord, k), {0.25f, 0.25f, 0, 0});
    expectVec(element(portal, AttributeVertexColor, k), {1, 0, 0, 1});
    // The half-transparent green corner keeps its alpha.
    bool found = false;
    for (u32 v = 0; v < 3; v++) {
        found = found || element(portal, AttributeVertexColor, v) == glm::vec4(0, 1, 0, 0.5f);
    }
    EXPECT_TRUE(found);

    const ImportedMesh& frame = model.meshes[1];
    EXPECT_EQ(frame.name, "PortalFrame");
    EXPECT_EQ(frame.layout, vertexLayoutPosNormalUv);
    EXPECT_EQ(frame.vertices.streamOffsets.size(), 3u);
    EXPECT_EQ(frame.vertices.data.size(), 32u * 3);
    EXPECT_EQ(inwardTriangles(frame), 0u);
}

TEST_F(ModelImport, LayoutNamesMatchExactlyAndDuplicatesAreKept)
{
    const std::vector<MeshLayoutOverride> overrides = {{"Portal", vertexLayoutPosNormalColorUv},
                                                       {"Portal", vertexLayoutPosition}};
    EXPECT_EQ(chooseLayout("Portal", vertexLayoutPosNormalUv, overrides), vertexLayoutPosNormalColorUv);
    EXPECT_EQ(chooseLayout("portal", vertexLayoutPosNormalUv, overrides), vertexLayoutPosNormalUv);
    EXPECT_EQ(chooseLayout("Portal2", vertexLayoutPosNormalUv, overrides), vertexLayoutPosNormalUv);
    EXPECT_EQ(chooseLayout("Portal", vertexLayoutPosNormalUv, {}), vertexLayoutPosNormalUv);

    writeModel(directory / "twins.glb", {triangle("Base"), triangle("Base")});
    ImportedModel model = importModel(file("twins.glb").c_str(), vertexLayoutPosNormalColor, {});
    ASSERT_EQ(model.error, "");
    ASSERT_EQ(model.meshes.size(), 2u);
    EXPECT_EQ(model.meshes[0].name, "Base");
    EXPECT_EQ(model.meshes[1].name, "Base");
}

TEST_F(ModelImport, RefusesFilesItCannotUse)
{
    // Missing, not a model at all, and a valid file cut short.
    EXPECT_NE(refusal(file("missing.glb")).find("cannot be read"), std::string::npos);
    std::ofstream(directory / "garbage.glb") << "glTF but not really\n";
    EXPECT_NE(refusal(file("garbage.glb")).find("cannot be read"), std::string::npos);
    writeModel(directory / "whole.glb", {triangle("Portal")});
    std::string bytes(fs::file_size(directory / "whole.glb"), '\0');
    std::ifstream(directory / "whole.glb", std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    for (size_t length : {size_t{10}, bytes.size() / 2, bytes.size() - 4}) {
        std::ofstream(directory / "short.glb", std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(length));
        refusal(file("short.glb"));
    }

    // Lines are not triangles.
    TestMesh lines = triangle("Portal");
    lines.type = aiPrimitiveType_LINE;
    lines.faces = {{0, 1}, {1, 2}};
    writeModel(directory / "lines.glb", {triangle("PortalFrame"), lines});
    EXPECT_NE(refusal(file("lines.glb")).find("\"Portal\" has faces that are not triangles"), std::string::npos);

    // Streams the layout needs: normals for both, colours and coordinates for "Portal".
    TestMesh noNormals = triangle("PortalFrame");
    noNormals.normals.clear();
    writeModel(directory / "nonormals.glb", {noNormals});
    EXPECT_NE(refusal(file("nonormals.glb")).find("\"PortalFrame\" has no normals"), std::string::npos);
    TestMesh noColours = triangle("Portal");
    noColours.colors.clear();
    writeModel(directory / "nocolours.glb", {noColours});
    EXPECT_NE(refusal(file("nocolours.glb")).find("has no vertex colours"), std::string::npos);
    TestMesh noCoordinates = triangle("Portal");
    noCoordinates.texcoords.clear();
    writeModel(directory / "nocoordinates.glb", {noCoordinates});
    EXPECT_NE(refusal(file("nocoordinates.glb")).find("has no texture coordinates"), std::string::npos);

    // A stream that no layout asks for is not needed: the frame layout has no colours.
    TestMesh plainFrame = triangle("PortalFrame");
    plainFrame.colors.clear();
    writeModel(directory / "plainframe.glb", {plainFrame});
    ImportedModel frame = importModel(file("plainframe.glb").c_str(), vertexLayoutPosNormalUv, {});
    EXPECT_EQ(frame.error, "");
    EXPECT_EQ(frame.meshes.size(), 1u);
}

namespace {

std::string bytesOf(const fs::path& file)
{
    std::string bytes(fs::file_size(file), '\0');
    std::ifstream(file, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// A valid model's JSON and binary chunk.
std::pair<nlohmann::json, std::string> partsOf(const std::string& glb)
{
    const u32 jsonLength = wordAt(glb, 12);
    const size_t bin = 20 + jsonLength;
    return {nlohmann::json::parse(glb.substr(20, jsonLength)), glb.substr(bin + 8, wordAt(glb, bin))};
}

} // namespace

namespace {

using nlohmann::json;

// The triangle model's accessor that `semantic` of its one primitive reads ("indices"
// for its index list).
u64 accessorOf(const json& model, const char* semantic)
{
    const json& primitive = model["meshes"][0]["primitives"][0];
    return std::string(semantic) == "indices" ? primitive["indices"].get<u64>()
                                               : primitive["attributes"][semantic].get<u64>();
}

// Where in the binary chunk the elements of that accessor start.
size_t dataOf(const json& model, const char* semantic)
{
    const json& accessor = model["accessors"][accessorOf(model, semantic)];
    return model["bufferViews"][accessor["bufferView"].get<size_t>()].value("byteOffset", size_t{0}) +
           accessor.value("byteOffset", size_t{0});
}

// A node array of `count` nodes, each a parent of the next (`times` over), the last
// holding the mesh.
json nodeChain(int count, int times)
{
    json nodes = json::array();
    for (int i = 1; i <= count; i++) nodes.push_back({{"children", json::array()}});
    for (int i = 0; i + 1 < count; i++) {
        for (int k = 0; k < times; k++) nodes[i]["children"].push_back(i + 1);
    }
    nodes.back() = {{"mesh", 0}};
    return nodes;
}

std::string base64(const std::string& bytes)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        u32 group = 0;
        for (size_t k = 0; k < 3; k++) group = group << 8 | (k < n ? static_cast<u8>(bytes[i + k]) : 0u);
        for (size_t k = 0; k < 4; k++) text += k <= n ? digits[group >> (18 - 6 * k) & 63] : '=';
    }
    return text;
}

// `count` copies of `element`.
json many(const json& element, size_t count)
{
    return json(std::vector<json>(count, element));
}

// `count` copies of `element`, as JSON text (quicker than building them).
std::string repeated(const std::string& element, size_t count)
{
    std::string text = "[";
    for (size_t i = 0; i < count; i++) text += (i > 0 ? "," : "") + element;
    return text + "]";
}

} // namespace

// The importer reads far more of a model than the game uses, trusting counts, offsets
// and named files; it is handed only a document the game wrote of what it checked. What
// the game does not use (nodes, skins, animations, morph targets) is left out, whatever
// it holds; what would change the meshes it reads (a sparse accessor, a required
// compression), JSON that is not strict, a URI leaving the model's folder, and a named
// file that is not a regular file within the limit are refused in one line naming the
// model and the member, URI or file at fault; never a crash, a hang or gigabytes read.
TEST_F(ModelImport, RefusesOrLeavesOutWhatTheImporterWouldTrust)
{
    writeModel(directory / "whole.glb", {triangle("Portal")});
    const std::string whole = bytesOf(directory / "whole.glb");
    const auto [model, bin] = partsOf(whole);
    // The triangle model with `change` made to its JSON and binary chunk.
    const auto changed = [&model = model, &bin = bin](const std::function<void(json&, std::string&)>& change) {
        json text = model;
        std::string data = bin;
        change(text, data);
        return glbOf(text.dump(), data);
    };
    const auto withJson = [&changed](const std::function<void(json&)>& change) {
        return changed([&change](json& text, std::string&) { change(text); });
    };
    // The model with a second buffer, the file `name`, holding what its own buffer
    // holds; the views read `which` ("all", or the view of one accessor).
    const auto namingBuffer = [&withJson](const std::string& name, const char* which = "all") {
        return withJson([&](json& text) {
            text["buffers"].push_back({{"byteLength", text["buffers"][0]["byteLength"]}, {"uri", name}});
            for (size_t v = 0; v < text["bufferViews"].size(); v++) {
                if (std::string(which) == "all" || v == text["accessors"][accessorOf(text, which)]["bufferView"]) {
                    text["bufferViews"][v]["buffer"] = 1;
                }
            }
        });
    };
    // The model's JSON text with `member` written in front of its own members.
    const auto withTextFirst = [&model = model, &bin = bin](const std::string& member) {
        return glbOf("{" + member + "," + model.dump().substr(1), bin);
    };
    const auto sparse = [](u64 count) {
        return json{{"count", count},
                    {"indices", {{"bufferView", 0}, {"componentType", 5121}}},
                    {"values", {{"bufferView", 0}}}};
    };
    // `nodes` new nodes, each the target of a channel of one sampler reading the last
    // accessor.
    const auto animated = [](json& m, int nodes) {
        const size_t keys = m["accessors"].size() - 1;
        json channels = json::array();
        for (int i = 0; i < nodes; i++) {
            m["nodes"].push_back(json::object());
            const json target = {{"node", m["nodes"].size() - 1}, {"path", "scale"}};
            channels.push_back({{"sampler", 0}, {"target", target}});
        }
        const json sampler = {{"input", keys}, {"output", keys}};
        m["animations"] = json::array({json{{"samplers", json::array({sampler})}, {"channels", channels}}});
    };
    std::string deep = model.dump();
    deep.insert(1, "\"extras\": " + std::string(200000, '[') + std::string(200000, ']') + ", ");
    std::string claimsTooMuch = whole;
    setWord(claimsTooMuch, 20 + wordAt(whole, 12), 0xFFFFFFF0u);
    std::string versionOne = whole;
    setWord(versionOne, 4, 1);
    std::string badByte = model.dump();
    badByte.insert(badByte.find("\"asset\":{") + 9, "\"generator\":\"x\xFFy\",");
    const std::string jsonText = R"({"asset": {"version": "1.0"}, "scene": "s", "scenes": {"s": {"nodes": ["n"]}},
        "nodes": {"n": {"children": ["n"], "meshes": ["m"]}}, "meshes": {"m": {"primitives": []}}})";
    std::string utf16;
    for (char c : model.dump()) utf16 += std::string{c, '\0'};
    // A mesh of 20,001 vertices that fifty primitives read: five million accessor
    // elements from half a megabyte.
    TestMesh large = triangle("Portal");
    for (unsigned k = 3; k < 20001; k++) {
        large.positions.push_back({static_cast<float>(k), 0, 0});
        large.normals.push_back({0, 0, 1});
        large.colors.push_back({1, 1, 1, 1});
        large.texcoords.push_back({0, 0, 0});
        if (k % 3 == 2) large.faces.push_back({k - 2, k - 1, k});
    }
    writeModel(directory / "large.glb", {large});
    auto [fifty, largeBin] = partsOf(bytesOf(directory / "large.glb"));
    const json primitive = fifty["meshes"][0]["primitives"][0];
    for (int i = 1; i < 50; i++) fifty["meshes"][0]["primitives"].push_back(primitive);
    // The whole model as JSON text, its buffer a data URI.
    json inline_ = model;
    inline_["buffers"][0]["uri"] = "data:application/octet-stream;base64," + base64(bin);

    // The model's JSON with a view's byteOffset written as -0.
    json offsetMarked = model;
    offsetMarked["bufferViews"][0]["byteOffset"] = 987654321;
    std::string minusZero = offsetMarked.dump();
    minusZero.replace(minusZero.find("987654321"), 9, "-0");
    fs::create_directories(directory / "folder.bin");
    fs::create_directories(directory / "sub");
    ASSERT_EQ(mkfifo((directory / "pipe.bin").c_str(), 0600), 0);
    std::ofstream(directory / "huge.bin").close();
    fs::resize_file(directory / "huge.bin", u64{3} << 30); // sparse
    writeBytes(directory / "beside.bin", bin);
    writeBytes(directory / "sub" / "below.bin", bin);
    writeBytes(directory.parent_path() / "indices.bin", bin);
    // Links out of the model's folder: to a file beside it, to the root, to a file of the
    // system, to the process's own folder in /proc.
    writeBytes(outside / "wall.bin", bin);
    fs::create_symlink(outside / "wall.bin", directory / "linked.bin");
    fs::create_symlink("../outside", directory / "up");
    fs::create_symlink("/", directory / "root");
    fs::create_symlink("/etc/passwd", directory / "passwd.bin");
    fs::create_symlink("/proc/self", directory / "self");
    fs::create_symlink("beside.bin", directory / "alias.bin");

    struct Case {
        const char* name;
        std::string model;
        std::string expected; // in the error; empty: the model loads, the triangle as it is
    };
    const Case cases[] = {
        // The file's form.
        {"JSON nested 200,000 deep", glbOf(deep, bin), "its JSON is nested more than 64 deep in extras"},
        {"a chunk that claims four gigabytes", claimsTooMuch, "the file has a chunk of 4294967280 bytes at byte"},
        {"a header that gives more than the file holds", whole.substr(0, whole.size() - 4),
         "the file is not whole: its header gives " + std::to_string(whole.size())},
        {"a glTF binary of version 1", versionOne, "only version 2 is read"},
        {"OBJ text naming a material file", "mtllib pipe.bin\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n",
         "the file is not a glTF file"},
        // JSON that is not strict.
        {"nodes written twice, the first a chain",
         withTextFirst("\"nodes\": " + nodeChain(300, 1).dump()), "its JSON names the member \"nodes\" twice"},
        {"nodes written twice, the first forty each a parent twice of the next",
         withTextFirst("\"nodes\": " + nodeChain(40, 2).dump()), "its JSON names the member \"nodes\" twice"},
        {"an invalid UTF-8 byte in asset.generator", glbOf(badByte, bin), "ill-formed UTF-8 byte"},
        {"a byte order mark", glbOf("\xEF\xBB\xBF" + model.dump(), bin), "its JSON starts with a byte order mark"},
        {"UTF-16", glbOf(utf16, bin), "its JSON is not valid at byte 1"},
        {"NaN", glbOf(std::string(model.dump()).insert(1, "\"extras\": NaN, "), bin), "its JSON is not valid at byte 11"},
        {"bytes after the JSON", glbOf(model.dump() + "x", bin), "its JSON is not valid at byte"},
        {"glTF 1.0 text whose node is its own child", jsonText, "asset.version is \"1.0\"; only glTF 2 is read"},
        // What the game leaves out, whatever it holds.
        {"nodes in a chain 300 deep", withJson([](json& m) { m["nodes"] = nodeChain(300, 1); }), ""},
        {"forty nodes, each a parent twice of the next", withJson([](json& m) { m["nodes"] = nodeChain(40, 2); }), ""},
        {"a skin of one joint without inverse bind matrices",
         withJson([](json& m) {
             m["skins"] = json::array({json{{"joints", {0}}}});
             m["nodes"].back()["skin"] = 0;
         }),
         ""},
        {"a skin of 100,000 joints",
         withTextFirst("\"skins\": [{\"joints\": " + repeated("0", 100000) + "}]"), ""},
        {"a skin's inverse bind matrices: 2^28 MAT4 with no view",
         withJson([](json& m) {
             m["accessors"].push_back({{"componentType", 5126}, {"count", u64{1} << 28}, {"type", "MAT4"}});
             m["skins"] = json::array({json{{"joints", {0}}, {"inverseBindMatrices", m["accessors"].size() - 1}}});
         }),
         ""},
        {"an animation reading 2^31 elements with no view",
         withJson([&animated](json& m) {
             m["accessors"].push_back({{"componentType", 5126}, {"count", u64{1} << 31}, {"type", "SCALAR"}});
             animated(m, 1);
         }),
         ""},
        {"200 animated nodes on one 100,000-key sampler",
         withJson([&animated](json& m) {
             m["accessors"].push_back({{"bufferView", 0}, {"componentType", 5126}, {"count", 100000}, {"type", "SCALAR"}});
             animated(m, 200);
         }),
         ""},
        {"20,000 empty morph targets on the triangle",
         withJson([](json& m) { m["meshes"][0]["primitives"][0]["targets"] = many(json::object(), 20000); }),
         ""},
        {"20,000 morph targets on a primitive with no attributes",
         withJson([](json& m) {
             m["meshes"][0]["primitives"][0]["attributes"] = json::object();
             m["meshes"][0]["primitives"][0]["targets"] = many(json::object(), 20000);
         }),
         "meshes[0].primitives[0] has no POSITION attribute"},
        {"materials, textures, cameras, extensions and extras",
         withJson([](json& m) {
             m["materials"] = many({{"pbrMetallicRoughness", {{"baseColorTexture", {{"index", 9}}}}}}, 1000);
             m["textures"] = {{{"source", 7}}};
             m["images"] = {{{"uri", "../../../../etc/passwd"}}};
             m["cameras"] = {{{"type", "perspective"}}};
             m["extensionsUsed"] = {"KHR_draco_mesh_compression"};
             m["meshes"][0]["extras"] = {{"a", json::array()}};
             m["meshes"][0]["primitives"][0]["extensions"] = {{"KHR_draco_mesh_compression", {{"bufferView", 99}}}};
         }),
         ""},
        // What would change the meshes the game reads.
        {"a sparse POSITION of 200,000,000 entries",
         withJson([&sparse](json& m) { m["accessors"][accessorOf(m, "POSITION")]["sparse"] = sparse(200000000); }),
         "accessors[0] is sparse, which the game does not read"},
        {"two sparse entries with a one-byte index view",
         withJson([&sparse](json& m) {
             m["bufferViews"].push_back({{"buffer", 0}, {"byteLength", 1}});
             m["accessors"][accessorOf(m, "NORMAL")]["sparse"] = sparse(2);
             m["accessors"][accessorOf(m, "NORMAL")]["sparse"]["indices"]["bufferView"] = m["bufferViews"].size() - 1;
         }),
         "is sparse, which the game does not read"},
        {"mesh compression required",
         withJson([](json& m) { m["extensionsRequired"] = {"KHR_draco_mesh_compression"}; }),
         "requires the extension \"KHR_draco_mesh_compression\", which the game does not read"},
        {"a material extension required", withJson([](json& m) { m["extensionsRequired"] = {"KHR_materials_unlit"}; }), ""},
        // Counts, offsets and values.
        {"an accessor of 2^31 elements",
         withJson([](json& m) { m["accessors"][accessorOf(m, "POSITION")]["count"] = u64{1} << 31; }),
         "accessors[0].count is 2147483648, not a whole number from 1 to 4000000"},
        {"a view at byte 2^32 - 1",
         withJson([](json& m) { m["bufferViews"][0]["byteOffset"] = u64{UINT32_MAX}; }),
         "bufferViews[0] passes the end of buffers[0]"},
        {"an accessor past its view", withJson([](json& m) { m["accessors"][accessorOf(m, "POSITION")]["count"] = 4; }),
         "accessors[0] reads past the end of bufferViews[0]"},
        {"an index past the vertices",
         changed([](json& m, std::string& data) { setWord(data, dataOf(m, "indices") + 4, 7); }),
         "meshes[0].primitives[0].indices has the index 7, past its 3 vertices"},
        {"a position that is not a number",
         changed([](json& m, std::string& data) { setWord(data, dataOf(m, "POSITION"), 0x7FC00000u); }),
         "accessors[0] holds a value that is not a finite number"},
        {"indices read as normals",
         withJson([](json& m) { m["meshes"][0]["primitives"][0]["attributes"]["NORMAL"] = accessorOf(m, "indices"); }),
         "read as NORMAL by meshes[0].primitives[0].attributes.NORMAL, is not a VEC3 of floats"},
        {"three indices drawn as lines", withJson([](json& m) { m["meshes"][0]["primitives"][0]["mode"] = 1; }),
         "meshes[0].primitives[0] draws 3 elements in mode 1, which makes no whole lines"},
        {"fifty primitives reading a mesh of 20,001 vertices", glbOf(fifty.dump(), largeBin),
         "meshes read more than 4000000 accessor elements"},
        {"4,097 primitives of the triangle",
         withJson([](json& m) { m["meshes"][0]["primitives"] = many(m["meshes"][0]["primitives"][0], 4097); }),
         "meshes have more than 4096 primitives in all"},
        {"a mesh name of 300 bytes", withJson([](json& m) { m["meshes"][0]["name"] = std::string(300, 'P'); }),
         "meshes[0].name is longer than 256 bytes"},
        // Files it names.
        {"an index buffer at ../../../indices.bin", namingBuffer("../../../indices.bin", "indices"),
         "buffers[1].uri \"../../../indices.bin\" leaves the model's folder"},
        {"a buffer at ../ to /etc/passwd", namingBuffer("../../../../../../../../etc/passwd"),
         "buffers[1].uri \"../../../../../../../../etc/passwd\" leaves the model's folder"},
        {"a buffer at %2e%2e/", namingBuffer("%2e%2e/indices.bin"), "leaves the model's folder"},
        {"a buffer at /etc/passwd", namingBuffer("/etc/passwd"), "buffers[1].uri \"/etc/passwd\" leaves the model's folder"},
        {"a buffer at file:///etc/passwd", namingBuffer("file:///etc/passwd"), "has a scheme other than data:"},
        {"a buffer that is a data URI of text", namingBuffer("data:text/plain,abc"), "is a data URI that is not"},
        {"its buffer is a named pipe", namingBuffer("pipe.bin"),
         "its file \"" + file("pipe.bin") + "\" is a named pipe, not a regular file"},
        {"its buffer is a directory", namingBuffer("folder.bin"), "\" is a directory, not a regular file"},
        {"its buffer is three gigabytes", namingBuffer("huge.bin"), "\" is too large (3221225472 bytes)"},
        {"its buffer is missing", namingBuffer("gone.bin"),
         "its file \"" + file("gone.bin") + "\" cannot be opened (No such file or directory)"},
        {"its buffer beside it", namingBuffer("beside.bin"), ""},
        {"its buffer beside it, its name escaped", namingBuffer("be%73ide.bin"), ""},
        {"its buffer in a folder below it", namingBuffer("sub/below.bin"), ""},
        {"its buffer beside it, named through a step up that stays below the folder", namingBuffer("sub/../beside.bin"), ""},
        {"a buffer named through a step up out of a folder below it", namingBuffer("sub/../../indices.bin"),
         "buffers[1].uri \"sub/../../indices.bin\" leaves the model's folder"},
        {"a step up out of the folder after a \".\"", namingBuffer("./../indices.bin"),
         "buffers[1].uri \"./../indices.bin\" leaves the model's folder"},
        {"a step up out of a folder below it after an empty part", namingBuffer("sub//../../indices.bin"),
         "buffers[1].uri \"sub//../../indices.bin\" leaves the model's folder"},
        {"its buffer a link beside it to a file beside it", namingBuffer("alias.bin"), ""},
        {"its buffer a link to a file outside its folder", namingBuffer("linked.bin"),
         "buffers[1].uri \"linked.bin\": its file \"" + file("linked.bin") + "\" leads out of its folder through a link"},
        {"its buffer in a linked folder outside its folder", namingBuffer("up/wall.bin"),
         "buffers[1].uri \"up/wall.bin\": its file \"" + file("up/wall.bin") + "\" leads out of its folder"},
        {"its buffer below a link to the root", namingBuffer("root/etc/passwd"), "leads out of its folder through a link"},
        {"its buffer a link to /etc/passwd", namingBuffer("passwd.bin"), "leads out of its folder through a link"},
        {"its buffer below a link to /proc/self", namingBuffer("self/environ"), "leads out of its folder through a link"},
        // Text of the file quoted in the line, escaped and cut short.
        {"a URI of terminal escapes, escaped", namingBuffer("%1b[2J%1b]0;title%07.bin"),
         "buffers[1].uri \"%1b[2J%1b]0;title%07.bin\" holds an escaped control character"},
        {"a URI of terminal escapes and a bell", namingBuffer("\x1b[2J\a\b.bin"),
         "buffers[1].uri \"\\x1b[2J\\x07\\x08.bin\" holds a control character"},
        {"a URI with a C1 control", namingBuffer("\xC2\x9B" "2J.bin"), "buffers[1].uri \"\\u009b2J.bin\" holds a control"},
        {"a URI that is not UTF-8", namingBuffer("%ff%fe.bin"),
         "buffers[1].uri \"%ff%fe.bin\": its file \"" + file("\\xff\\xfe.bin") + "\" cannot be opened"},
        {"a URI of 100,000 bytes", namingBuffer(std::string(100000, 'u')),
         "buffers[1].uri \"" + std::string(QuotedTextBytes - 5, 'u') + "...\": its file \""},
        {"a mesh name with a C1 control and a bidirectional override, no normals",
         withJson([](json& m) {
             m["meshes"][0]["name"] = "P\u009b2J\u202e";
             m["meshes"][0]["primitives"][0]["attributes"].erase("NORMAL");
         }),
         "mesh \"P\\u009b2J\\u202e\" has no normals"},
        {"a mesh name hiding text in zero-width characters, no normals",
         withJson([](json& m) {
             m["meshes"][0]["name"] = "P\u200b\u00ad\ufeffQ";
             m["meshes"][0]["primitives"][0]["attributes"].erase("NORMAL");
         }),
         "mesh \"P\\u200b\\u00ad\\ufeffQ\" has no normals"},
        // Numbers as JSON writes them.
        {"a byteOffset of -0", glbOf(minusZero, bin), ""},
        {"JSON text in a .glb file, its buffer a data URI", inline_.dump(), ""},
    };
    writeModel(directory / "plain.glb", {triangle("Portal")});
    const ImportedModel plain = importModel(file("plain.glb").c_str(), vertexLayoutPosNormalUv,
                                            {{"Portal", vertexLayoutPosNormalColorUv}});
    ASSERT_EQ(plain.meshes.size(), 1u);
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        writeBytes(directory / "model.glb", test.model);
        if (test.expected.empty()) {
            ImportedModel loaded = importModel(file("model.glb").c_str(), vertexLayoutPosNormalUv,
                                               {{"Portal", vertexLayoutPosNormalColorUv}});
            EXPECT_EQ(loaded.error, "");
            ASSERT_EQ(loaded.meshes.size(), 1u);
            EXPECT_EQ(loaded.meshes[0].name, "Portal");
            EXPECT_EQ(loaded.meshes[0].indices, plain.meshes[0].indices);
            EXPECT_EQ(loaded.meshes[0].vertices.data, plain.meshes[0].vertices.data);
        } else {
            const std::string said = refusal(file("model.glb"));
            EXPECT_NE(said.find(test.expected), std::string::npos) << said;
        }
    }

    // An accessor without a view holds zeros.
    writeBytes(directory / "model.glb", withJson([](json& m) { m["accessors"][accessorOf(m, "COLOR_0")].erase("bufferView"); }));
    const ImportedModel colourless = importModel(file("model.glb").c_str(), vertexLayoutPosNormalUv,
                                                 {{"Portal", vertexLayoutPosNormalColorUv}});
    ASSERT_EQ(colourless.error, "");
    ASSERT_EQ(colourless.meshes.size(), 1u);
    for (u32 k = 0; k < colourless.meshes[0].vertices.vertexCount; k++) {
        EXPECT_EQ(element(colourless.meshes[0], AttributeVertexColor, k), glm::vec4(0.0f));
        EXPECT_EQ(position(colourless.meshes[0], k), position(plain.meshes[0], k)) << "only the colours are zeros";
    }
    // A link out says nothing of where it leads (not even the size of what is there).
    writeBytes(directory / "model.glb", namingBuffer("passwd.bin"));
    EXPECT_TRUE(refusal(file("model.glb")).ends_with("leads out of its folder through a link"));
    // A folder of models reached through a link is the models' folder still.
    fs::create_directory_symlink(directory, root / "linked-models");
    writeBytes(directory / "model.glb", namingBuffer("beside.bin"));
    const ImportedModel linked = importModel((root / "linked-models" / "model.glb").c_str(), vertexLayoutPosNormalUv,
                                             {{"Portal", vertexLayoutPosNormalColorUv}});
    EXPECT_EQ(linked.error, "");
    EXPECT_EQ(linked.meshes.size(), 1u);
    // Meshes larger than the room left in the mesh storage are refused before the import.
    fs::copy_file(directory / "large.glb", directory / "model.glb", fs::copy_options::overwrite_existing);
    const ImportedModel crowded = importModel(file("model.glb").c_str(), vertexLayoutPosNormalUv,
                                              {{"Portal", vertexLayoutPosNormalColorUv}}, {900'000, 10'000'000, 16});
    EXPECT_EQ(crowded.error, "model \"" + file("model.glb") + "\" is too large for the mesh storage: its 20001 vertices "
                             "and 20001 indices take 1040080 bytes, and 900000 of the storage's 10000000 are left");
    // (What the imported meshes take, as the estimate made before the import said.)
    const ImportedModel roomy = importModel(file("model.glb").c_str(), vertexLayoutPosNormalUv,
                                            {{"Portal", vertexLayoutPosNormalColorUv}}, {1'040'080, 10'000'000, 16});
    ASSERT_EQ(roomy.error, "");
    EXPECT_EQ(meshStorageBytes(roomy, 16), 1'040'080u);
}

TEST_F(ModelImport, SceneWithoutMeshesGivesNoMeshes)
{
    std::ofstream(directory / "empty.gltf") << R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": []}]})";
    ImportedModel model = importModel(file("empty.gltf").c_str(), vertexLayoutPosNormalColor, {});
    if (!model.error.empty()) {
        // Some Assimp builds refuse a scene without meshes; then it must say so plainly.
        EXPECT_NE(model.error.find("empty.gltf"), std::string::npos);
    }
    EXPECT_TRUE(model.meshes.empty());
    EXPECT_NE(emptyModelMessage("assets/x.glb").find("\"assets/x.glb\" has no meshes"), std::string::npos);
}

// ---- The generated models in the run directory

namespace {

fs::path runDirectory()
{
    // unit_tests lives in <build>/tests, the run directory is <build>/run.
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "run";
}

glm::vec3 gridSize(const std::string& config)
{
    std::ifstream stream(runDirectory() / config);
    nlohmann::json json = nlohmann::json::parse(stream);
    const nlohmann::json& size = json.at("gridSize");
    return {size.at("x").get<f32>(), size.at("y").get<f32>(), size.at("z").get<f32>()};
}

struct GeneratedModel {
    const char* file;
    const char* config; // null: not a building
    VertexLayout* layout;
    std::vector<MeshLayoutOverride> overrides;
    std::vector<const char*> names;
};

const std::vector<GeneratedModel>& generatedModels()
{
    static const std::vector<GeneratedModel> models = {
        {"assets/Buildings/BdWall/wall.glb", "assets/Buildings/BdWall/config.json", vertexLayoutPosNormalColor, {}, {"Wall"}},
        {"assets/Buildings/BdCastle/castle.glb", "assets/Buildings/BdCastle/config.json", vertexLayoutPosNormalColor, {}, {"Castle"}},
        {"assets/Buildings/BdPortal/portal.glb", "assets/Buildings/BdPortal/config.json", vertexLayoutPosNormalUv,
         {{"Portal", vertexLayoutPosNormalColorUv}}, {"PortalFrame", "Portal"}},
        {"assets/Buildings/Towers/TwCannon/cannon.glb", "assets/Buildings/Towers/TwCannon/config.json",
         vertexLayoutPosNormalColor, {}, {"Base", "Turret", "Cannon"}},
        {"assets/Buildings/Towers/TwMortar/mortar.glb", "assets/Buildings/Towers/TwMortar/config.json",
         vertexLayoutPosNormalColor, {}, {"Base", "Turret", "Cannon"}},
        {"assets/Particles/smoke.glb", nullptr, vertexLayoutPosNormalColor, {}, {"Smoke"}},
    };
    return models;
}

ImportedModel importGenerated(const GeneratedModel& model)
{
    return importModel((runDirectory() / model.file).c_str(), model.layout, model.overrides);
}

#define SKIP_WITHOUT_GENERATED_MODELS()                                                                    \
    if (!fs::exists(runDirectory() / generatedModels().front().file)) {                                   \
        GTEST_SKIP() << "no generated models in " << runDirectory() << " (build the assets target)";       \
    }

const ImportedMesh& meshNamed(const ImportedModel& model, const char* name)
{
    for (const ImportedMesh& mesh : model.meshes) {
        if (mesh.name == name) {
            return mesh;
        }
    }
    ADD_FAILURE() << "no mesh " << name;
    return model.meshes.front();
}

} // namespace

TEST(GeneratedModels, HoldTheNamedMeshesWithTheirStreamsFacingOutwards)
{
    SKIP_WITHOUT_GENERATED_MODELS();
    for (const GeneratedModel& expected : generatedModels()) {
        SCOPED_TRACE(expected.file);
        ImportedModel model = importGenerated(expected);
        ASSERT_EQ(model.error, "");
        ASSERT_EQ(model.meshes.size(), expected.names.size());
        for (size_t i = 0; i < expected.names.size(); i++) {
            const ImportedMesh& mesh = model.meshes[i];
            EXPECT_EQ(mesh.name, expected.names[i]);
            EXPECT_EQ(mesh.layout, chooseLayout(mesh.name, expected.layout, expected.overrides));
            EXPECT_GT(mesh.vertices.vertexCount, 3u);
            EXPECT_EQ(mesh.indices.size() % 3, 0u);
            EXPECT_EQ(inwardTriangles(mesh), 0u) << mesh.name;
            if (mesh.name != "Portal") {
                EXPECT_EQ(mixedColourTriangles(mesh), 0u) << mesh.name;
            }
        }
    }
}

TEST(GeneratedModels, FitTheirFootprintsAndPivots)
{
    SKIP_WITHOUT_GENERATED_MODELS();
    const std::vector<GeneratedModel>& models = generatedModels();
    const f32 tolerance = 1e-4f;

    // Wall: exactly its cells, x along x (a swapped axis mapping would show here), as
    // high as its steps, with a foundation below the ground.
    {
        glm::vec3 size = gridSize(models[0].config);
        Bounds b = bounds(importGenerated(models[0]).meshes[0]);
        EXPECT_NEAR(b.min.x, -size.x * 0.5f, tolerance);
        EXPECT_NEAR(b.max.x, size.x * 0.5f, tolerance);
        EXPECT_NEAR(b.min.z, -size.z * 0.5f, tolerance);
        EXPECT_NEAR(b.max.z, size.z * 0.5f, tolerance);
        EXPECT_NEAR(b.max.y, size.y * 0.4f, tolerance);
        EXPECT_LT(b.min.y, -0.5f);
    }
    // Castle: fills its footprint, stands above its body height, reaches below ground.
    {
        glm::vec3 size = gridSize(models[1].config);
        Bounds b = bounds(importGenerated(models[1]).meshes[0]);
        for (int axis : {0, 2}) {
            EXPECT_GE(b.min[axis], -size[axis] * 0.5f - tolerance);
            EXPECT_LE(b.max[axis], size[axis] * 0.5f + tolerance);
            EXPECT_GT(b.max[axis], size[axis] * 0.5f - 0.2f);
        }
        EXPECT_GT(b.max.y, size.y * 0.4f);
        EXPECT_LT(b.min.y, -0.5f);
    }
    // Portal: the frame fits the square footprint in either of its two rotations, the
    // surface sits inside the frame, and both carry texture coordinates in 0..1.
    {
        glm::vec3 size = gridSize(models[2].config);
        EXPECT_EQ(size.x, size.z) << "portals stand turned by a quarter: the footprint must be square";
        ImportedModel portal = importGenerated(models[2]);
        Bounds frame = bounds(meshNamed(portal, "PortalFrame"));
        Bounds surface = bounds(meshNamed(portal, "Portal"));
        EXPECT_LE(glm::max(-frame.min.x, frame.max.x), size.x * 0.5f + tolerance);
        EXPECT_LE(glm::max(-frame.min.z, frame.max.z), size.x * 0.5f + tolerance);
        EXPECT_NEAR(frame.max.y, size.y * 0.4f, 0.2f);
        EXPECT_GT(surface.min.x, frame.min.x);
        EXPECT_LT(surface.max.x, frame.max.x);
        EXPECT_LT(surface.max.y, frame.max.y);
        EXPECT_GT(surface.max.y - surface.min.y, 3.0f) << "tall enough for heavy enemies";
        for (const ImportedMesh& mesh : portal.meshes) {
            for (u32 k = 0; k < mesh.vertices.vertexCount; k++) {
                glm::vec4 uv = element(mesh, AttributeTexcoord, k);
                EXPECT_TRUE(uv.x >= 0 && uv.x <= 1 && uv.y >= 0 && uv.y <= 1) << mesh.name << " " << k;
            }
        }
    }
    // Towers: drawn at the pivot 1.0 above the ground; the base reaches the ground,
    // the parts stay on the footprint, the barrels turn about the pivot and point
    // along +x: the cannon's long and slim, the mortar's short and wide.
    f32 barrelLength[2], barrelRadius[2];
    for (int t = 0; t < 2; t++) {
        const GeneratedModel& tower = models[3 + t];
        SCOPED_TRACE(tower.file);
        glm::vec3 size = gridSize(tower.config);
        ImportedModel model = importGenerated(tower);
        Bounds base = bounds(meshNamed(model, "Base"));
        Bounds turret = bounds(meshNamed(model, "Turret"));
        Bounds barrel = bounds(meshNamed(model, "Cannon"));
        EXPECT_LT(base.min.y, -1.0f);
        EXPECT_LE(base.max.y, tolerance) << "the base stays below the turret's pivot";
        for (const Bounds& part : {base, turret}) {
            EXPECT_LE(glm::max(-part.min.x, part.max.x), size.x * 0.5f + tolerance);
            EXPECT_LE(glm::max(-part.min.z, part.max.z), size.z * 0.5f + tolerance);
        }
        EXPECT_LT(turret.min.y, 0.0f);
        EXPECT_GT(turret.max.y, 0.0f);
        EXPECT_LT(barrel.min.x, 0.0f);
        EXPECT_GT(barrel.max.x, -barrel.min.x * 1.5f);
        EXPECT_NEAR(barrel.max.y, -barrel.min.y, 1e-3f) << "the barrel is centred on the pivot";
        barrelLength[t] = barrel.max.x;
        barrelRadius[t] = barrel.max.y;
    }
    EXPECT_GT(barrelLength[0], 1.5f);
    EXPECT_LT(barrelLength[1], 0.8f);
    EXPECT_GT(barrelRadius[1], barrelRadius[0] * 1.5f);

    // Smoke: a puff of about unit radius around its centre.
    {
        Bounds b = bounds(importGenerated(models[5]).meshes[0]);
        f32 radius = glm::max(glm::max(-b.min.x, b.max.x), glm::max(glm::max(-b.min.y, b.max.y), glm::max(-b.min.z, b.max.z)));
        EXPECT_GT(radius, 0.8f);
        EXPECT_LT(radius, 1.1f);
        EXPECT_LT(glm::length((b.min + b.max) * 0.5f), 0.3f);
    }
}

TEST(GeneratedModels, AMissingMeshNameIsReportedWithFileAndName)
{
    SKIP_WITHOUT_GENERATED_MODELS();
    // The wall's file has no "Cannon": a kind asking for it gets this line.
    const GeneratedModel& wall = generatedModels()[0];
    ImportedModel model = importGenerated(wall);
    ASSERT_EQ(model.error, "");
    for (const ImportedMesh& mesh : model.meshes) {
        EXPECT_NE(mesh.name, "Cannon");
    }
    std::string message = missingMeshMessage(wall.file, "Cannon");
    EXPECT_NE(message.find(wall.file), std::string::npos);
    EXPECT_NE(message.find("\"Cannon\""), std::string::npos);
}

// The loader stops the start-up with a fatal error naming the file (and the mesh) before
// it makes any GPU object, so these need no device.
TEST_F(ModelImport, LoaderRefusesUnusableModelsAndMissingMeshes)
{
    auto fatalMessage = [](auto&& call) -> std::string {
        try {
            call();
        } catch (const std::runtime_error& error) {
            return error.what();
        }
        return "(no error)";
    };
    const std::string missing = file("missing.glb");
    EXPECT_NE(fatalMessage([&] { ModelLoader::load(missing.c_str(), vertexLayoutPosNormalColor); }).find(missing),
              std::string::npos);

    TestMesh lines = triangle("Cannon");
    lines.type = aiPrimitiveType_LINE;
    lines.faces = {{0, 1}};
    writeModel(directory / "lines.glb", {lines});
    const std::string linesPath = file("lines.glb");
    std::string message = fatalMessage([&] { ModelLoader::load(linesPath.c_str(), vertexLayoutPosNormalColor); });
    EXPECT_NE(message.find(linesPath), std::string::npos) << message;
    EXPECT_NE(message.find("not triangles"), std::string::npos) << message;

    message = fatalMessage([] { ModelLoader::requireMesh({}, "Turret", "assets/Buildings/Towers/TwCannon/cannon.glb"); });
    EXPECT_EQ(message, "model \"assets/Buildings/Towers/TwCannon/cannon.glb\" has no mesh named \"Turret\"");
    message = fatalMessage([] { ModelLoader::requireFirstMesh({}, "assets/Particles/smoke.glb"); });
    EXPECT_EQ(message, "model \"assets/Particles/smoke.glb\" has no meshes");
}

// The game's models give the same meshes through the document the game writes, its
// vertices joined by the game, as when the importer reads the file itself and joins them,
// with tangents too (0x100800B): every name, layout, vertex stream and index.
TEST(GeneratedModels, GiveTheSameMeshesAsTheImporterReadingTheFileItself)
{
    SKIP_WITHOUT_GENERATED_MODELS();
    ASSERT_EQ(ImportersOwnJoin, 0x100800Bu);
    ASSERT_EQ(ImportersOwnJoin & ~(aiProcess_CalcTangentSpace | aiProcess_JoinIdenticalVertices), modelImportFlags);
    for (const GeneratedModel& expected : generatedModels()) {
        SCOPED_TRACE(expected.file);
        const std::string path = (runDirectory() / expected.file).string();
        expectSameMeshes(importGenerated(expected), importedByTheImporterItself(path, expected.layout, expected.overrides));
    }
}

// ---- The whole import of mutated models

namespace {

using nlohmann::json;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool ResidentMemoryCounts = false; // the sanitizers keep memory of their own
#else
constexpr bool ResidentMemoryCounts = true;
#endif

// A value in `document` of the kind `pick` takes, found by random walks down from the
// top; null when none finds one.
json* anyOf(json& document, bool (*pick)(const json&), std::mt19937& random)
{
    for (int walk = 0; walk < 64; walk++) {
        json* value = &document;
        while (true) {
            const bool last = !value->is_structured() || value->empty();
            if (pick(*value) && (last || random() % 4 == 0)) return value;
            if (last) break;
            auto child = value->begin();
            std::advance(child, static_cast<long>(random() % value->size()));
            value = &*child;
        }
    }
    return nullptr;
}

// A member of an object in `document` (which is one), and the object.
std::pair<json&, json::iterator> anyMember(json& document, std::mt19937& random)
{
    json* found = anyOf(document, [](const json& v) { return v.is_object() && !v.empty(); }, random);
    json& object = found != nullptr ? *found : document;
    auto member = object.begin();
    std::advance(member, static_cast<long>(random() % object.size()));
    return {object, member};
}

// One of the members the game leaves out, added with an extreme count.
void addIgnored(json& document, std::mt19937& random)
{
    const size_t count = std::array<size_t, 3>{1, 1000, 20000}[random() % 3];
    json& primitive = document["meshes"][0]["primitives"][0];
    switch (random() % 8) {
    case 0: document["skins"] = json::array({json{{"joints", many(0, count)}}}); break;
    case 1: document["skins"] = json::array({json{{"joints", {0}}, {"inverseBindMatrices", count}}}); break;
    case 2: primitive["targets"] = many(json{{"POSITION", 0}}, count); break;
    case 3: document["meshes"][0]["weights"] = many(0.5, count); break;
    case 4: {
        json channels = many(json{{"sampler", 0}, {"target", {{"node", 0}, {"path", "scale"}}}}, count);
        document["animations"] = json::array({json{{"samplers", {{{"input", 0}, {"output", 0}}}}, {"channels", channels}}});
        break;
    }
    case 5: {
        json nodes = json::array();
        for (size_t i = 0; i < count; i++) nodes.push_back({{"children", {i + 1}}});
        nodes.push_back({{"mesh", 0}});
        document["nodes"] = nodes;
        break;
    }
    case 6: document["materials"] = many(json{{"pbrMetallicRoughness", {{"baseColorTexture", {{"index", count}}}}}}, count); break;
    default: document["extras"] = many(json::array({json::array()}), count); break;
    }
}

// The model's JSON and binary chunk with one to three mutations: a member the game
// leaves out added with an extreme count, a number replaced by an extreme, an array
// grown, a member written twice, a member removed, or a word of the binary chunk
// overwritten. Gives the glTF binary.
std::string mutatedModel(json document, std::string binary, std::mt19937& random)
{
    static const json extremes[] = {-1, 0, u64{1} << 31, (u64{1} << 32) + 1, u64{1} << 63, 1e308, 0.5};
    std::string twice; // the member written twice, as its marker's text
    std::string twiceKey;
    const u32 mutations = 1 + random() % 3;
    for (u32 m = 0; m < mutations; m++) {
        switch (random() % 6) {
        case 0: addIgnored(document, random); break;
        case 1: {
            json* number = anyOf(document, [](const json& v) { return v.is_number(); }, random);
            if (number != nullptr) *number = extremes[random() % std::size(extremes)];
            break;
        }
        case 2: {
            json* found = anyOf(document, [](const json& v) { return v.is_array() && !v.empty() && v.size() < 1000; }, random);
            if (found == nullptr) break;
            json& array = *found;
            const size_t grown = std::min<size_t>(array.size() * std::array<size_t, 3>{2, 10, 1000}[random() % 3], 20000);
            for (size_t i = array.size(); i < grown; i++) array.push_back(array[random() % array.size()]);
            break;
        }
        case 3: {
            auto [object, member] = anyMember(document, random);
            twiceKey = member.key();
            object["\x01twice"] = random() % 2 == 0 ? member.value() : extremes[random() % std::size(extremes)];
            twice = "\"\\u0001twice\"";
            break;
        }
        case 4: {
            auto [object, member] = anyMember(document, random);
            object.erase(member);
            break;
        }
        default: {
            const u32 words[] = {0xFFFFFFFFu, 0x7FC00000u, 0x7F800000u, 0u, 7u};
            if (binary.size() >= 4) setWord(binary, random() % (binary.size() - 3), words[random() % std::size(words)]);
            break;
        }
        }
    }
    std::string text = document.dump();
    if (const size_t at = twice.empty() ? std::string::npos : text.find(twice); at != std::string::npos) {
        text.replace(at, twice.size(), json(twiceKey).dump());
    }
    return glbOf(text, binary);
}

} // namespace

// Every check a model goes through, and the importer after them, on mutations of each
// of the game's models: each import either loads or is refused in one line naming the
// model, with no sanitizer report and the memory within bounds. The seeds are fixed, so
// every run imports the same files.
TEST_F(ModelImport, MutatedModelsLoadOrAreRefusedInOneLine)
{
    SKIP_WITHOUT_GENERATED_MODELS();
    constexpr u32 MutationsPerModel = 32;
    constexpr double MaxPeakMiB = 400.0;
    const std::string path = file("model.glb");
    u32 loaded = 0, refused = 0;
    double peakMiB = 0.0;
    for (const GeneratedModel& generated : generatedModels()) {
        const auto [document, binary] = partsOf(bytesOf(runDirectory() / generated.file));
        for (u32 mutation = 0; mutation < MutationsPerModel; mutation++) {
            SCOPED_TRACE(std::string(generated.file) + ", mutation " + std::to_string(mutation));
            std::seed_seq seed{mutation, static_cast<u32>(std::hash<std::string>{}(generated.file))};
            std::mt19937 random(seed);
            writeBytes(path, mutatedModel(document, binary, random));
            // What the import alone takes: freed memory goes back to the system first.
            malloc_trim(0);
            const bool peakCounts = ResidentMemoryCounts && resetPeakResident();
            const double before = residentMiB();
            const ImportedModel model = importModel(path.c_str(), generated.layout, generated.overrides);
            if (peakCounts) peakMiB = std::max(peakMiB, peakResidentMiB() - before);
            if (model.error.empty()) {
                loaded++;
                continue;
            }
            refused++;
            EXPECT_TRUE(model.meshes.empty());
            EXPECT_TRUE(model.error.starts_with("model \"" + path + "\"")) << model.error;
            EXPECT_EQ(linePrintableProblem(model.error), "") << model.error;
            EXPECT_LT(model.error.size(), 400u) << model.error;
        }
    }
    std::printf("%u mutated models: %u loaded, %u refused; the largest import took %.0f MiB\n", loaded + refused,
                loaded, refused, peakMiB);
    // Neither outcome is left untried.
    EXPECT_GE(loaded, MutationsPerModel);
    EXPECT_GE(refused, MutationsPerModel);
    EXPECT_LT(peakMiB, MaxPeakMiB) << "the resident memory an import took";
}
