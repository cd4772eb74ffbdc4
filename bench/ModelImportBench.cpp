#include "Engine/Helper/FileLimits.h"
#include "Engine/Mesh/GltfFile.h"
#include "Engine/Mesh/ModelImport.h"
#include "Engine/Mesh/VertexJoin.h"
#include "Engine/Mesh/VertexLayout.h"
#include "ResidentMemory.h"

#include <benchmark/benchmark.h>
#include <glm/glm.hpp>
#include <malloc.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

// The whole import of a model (read, checks, the join of identical vertices, the
// importer, the conversion) on the shapes of vertices that make a join or a search of
// neighbours slow: all at one point, a tight cluster with one vertex far off (a search
// radius that grows with the model's extent takes in the whole cluster), many primitives
// of clusters, the most distinct vertices the file limit allows, and vertices whose
// 32-bit MurmurHash2 all agree (a hashed join then probes one bucket for all), one mesh
// of many primitives each drawing its part of one shared accessor; the game's own castle
// beside them, and the join alone on vertices all given one hash. Counters: the
// vertices read, the file's size and the resident memory the import took at its peak;
// the label says whether the model loads.

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// One primitive of non-indexed triangles: positions, and normals and texture
// coordinates unless empty.
struct BenchPrimitive {
    std::vector<f32> positions; // x, y, z
    std::vector<f32> normals;   // x, y, z
    std::vector<f32> texcoords; // u, v
    std::vector<u32> indices;   // empty: none
    u32 indexBytes = 1;         // each index's: 1, 2 or 4
};

// Each index in `bytes` bytes, little-endian.
std::vector<u8> packed(const std::vector<u32>& indices, u32 bytes)
{
    std::vector<u8> out(indices.size() * bytes);
    for (size_t k = 0; k < indices.size(); k++) std::memcpy(out.data() + k * bytes, &indices[k], bytes);
    return out;
}

// A glTF binary of one mesh "Bench": `primitives`, then `copies` more primitives that
// read the first one's accessors, and `parts` primitives that read them, each with
// indices of its own (the first's indices are not read).
std::vector<u8> glbOf(const std::vector<BenchPrimitive>& primitives, u32 copies = 0,
                      const std::vector<BenchPrimitive>& parts = {})
{
    std::string binary;
    json accessors = json::array(), views = json::array(), written = json::array();
    const auto add = [&](const auto& values, u32 componentType, const char* type, size_t components) {
        const size_t size = sizeof(values[0]);
        binary.resize((binary.size() + 3) / 4 * 4, '\0');
        views.push_back({{"buffer", 0}, {"byteOffset", binary.size()}, {"byteLength", values.size() * size}});
        binary.append(reinterpret_cast<const char*>(values.data()), values.size() * size);
        accessors.push_back({{"bufferView", views.size() - 1},
                             {"componentType", componentType},
                             {"count", values.size() / components},
                             {"type", type}});
        return accessors.size() - 1;
    };
    const auto addIndices = [&add](const BenchPrimitive& primitive) {
        constexpr u32 Types[] = {0, 5121, 5123, 0, 5125};
        return add(packed(primitive.indices, primitive.indexBytes), Types[primitive.indexBytes], "SCALAR",
                   primitive.indexBytes);
    };
    for (const BenchPrimitive& primitive : primitives) {
        json attributes = {{"POSITION", add(primitive.positions, 5126, "VEC3", 3)}};
        if (!primitive.normals.empty()) attributes["NORMAL"] = add(primitive.normals, 5126, "VEC3", 3);
        if (!primitive.texcoords.empty()) attributes["TEXCOORD_0"] = add(primitive.texcoords, 5126, "VEC2", 2);
        written.push_back({{"attributes", attributes}});
        if (!primitive.indices.empty()) written.back()["indices"] = addIndices(primitive);
    }
    for (u32 i = 0; i < copies; i++) written.push_back(written[0]);
    for (const BenchPrimitive& part : parts) {
        written.push_back({{"attributes", written[0]["attributes"]}, {"indices", addIndices(part)}});
    }
    const json document = {{"asset", {{"version", "2.0"}}},
                           {"meshes", {{{"name", "Bench"}, {"primitives", written}}}},
                           {"accessors", accessors},
                           {"bufferViews", views},
                           {"buffers", {{{"byteLength", binary.size()}}}}};
    return GltfFile::join(document.dump(), binary);
}

// `count` vertices placed by `place`, with unit normals turning with the vertex's number
// (`normalKinds` different ones in turn) and texture coordinates at zero.
BenchPrimitive cluster(u32 count, u32 normalKinds, const std::function<glm::vec3(u32)>& place)
{
    BenchPrimitive primitive;
    for (u32 k = 0; k < count; k++) {
        const glm::vec3 p = place(k);
        const f32 angle = static_cast<f32>(k % normalKinds) * 1e-4f;
        primitive.positions.insert(primitive.positions.end(), {p.x, p.y, p.z});
        primitive.normals.insert(primitive.normals.end(), {std::cos(angle), std::sin(angle), 0.0f});
        primitive.texcoords.insert(primitive.texcoords.end(), {0.0f, 0.0f});
    }
    return primitive;
}

// `count` distinct positions, no other streams, all of one 32-bit MurmurHash2 (over
// their twelve bytes, from zero): the last coordinate of each is solved for it.
BenchPrimitive collidingPositions(u32 count)
{
    constexpr u32 M = 0x5bd1e995;
    u32 inverse = M;
    for (int i = 0; i < 5; i++) inverse *= 2 - M * inverse;
    const auto mix = [](u32 k) {
        k *= M;
        k ^= k >> 24;
        return k * M;
    };
    const auto unmix = [inverse](u32 v) {
        v *= inverse;
        v ^= v >> 24;
        return v * inverse;
    };
    BenchPrimitive primitive;
    std::mt19937 random(3);
    while (primitive.positions.size() < size_t{count} * 3) {
        const f32 x = static_cast<f32>(random() % 100000), y = static_cast<f32>(primitive.positions.size());
        u32 kx = 0, ky = 0;
        std::memcpy(&kx, &x, 4);
        std::memcpy(&ky, &y, 4);
        const u32 kz = unmix(0x12345678u ^ ((mix(kx) * M ^ mix(ky)) * M));
        f32 z = 0.0f;
        std::memcpy(&z, &kz, 4);
        if (std::isfinite(z)) primitive.positions.insert(primitive.positions.end(), {x, y, z});
    }
    return primitive;
}

// The most vertices of twelve bytes a model within the file limit holds, all distinct.
BenchPrimitive mostDistinctPositions()
{
    const u32 count = static_cast<u32>((FileLimits::ModelFile - 4096) / 12 / 3 * 3);
    BenchPrimitive primitive;
    primitive.positions.resize(size_t{count} * 3);
    for (u32 k = 0; k < count; k++) {
        primitive.positions[size_t{k} * 3] = static_cast<f32>(k % 1024);
        primitive.positions[size_t{k} * 3 + 1] = static_cast<f32>(k / 1024);
    }
    return primitive;
}

// What follows the model's quoted path in an error line, up to its first colon.
std::string reason(const std::string& error)
{
    const size_t end = error.find("\" ");
    const std::string rest = end == std::string::npos ? error : error.substr(end + 2);
    return rest.substr(0, rest.find(':'));
}

// Imports the model at `path` with `layout` over and over, and reports it.
void importEach(benchmark::State& state, const std::string& path, VertexLayout* layout, u64 vertices)
{
    malloc_trim(0);
    const bool peakCounts = resetPeakResident();
    const double before = residentMiB();
    std::string outcome;
    for (auto _ : state) {
        ImportedModel model = importModel(path.c_str(), layout, {});
        outcome = model.error.empty() ? "loads" : "refused: " + reason(model.error);
        benchmark::DoNotOptimize(model);
    }
    state.counters["vertices"] = static_cast<double>(vertices);
    state.counters["file_MiB"] = static_cast<double>(fs::file_size(path)) / (1024.0 * 1024.0);
    if (peakCounts) state.counters["peak_MiB"] = peakResidentMiB() - before;
    state.SetLabel(outcome);
}

// Writes `bytes` as a model in this run's own folder, named `name`, and gives its path.
std::string written(const std::string& name, const std::vector<u8>& bytes)
{
    const fs::path folder = fs::temp_directory_path() / ("brackenhold-model-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path file = folder / (name + ".glb");
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return file.string();
}

void BM_ModelImportOnePoint(benchmark::State& state)
{
    const u32 count = static_cast<u32>(state.range(0));
    const std::string path = written("one-point", glbOf({cluster(count, count, [](u32) { return glm::vec3(0.0f); })}));
    importEach(state, path, vertexLayoutPosNormalUv, count);
    fs::remove(path);
}
BENCHMARK(BM_ModelImportOnePoint)->Arg(30000)->Arg(60000)->Arg(300000)->Unit(benchmark::kMillisecond);

void BM_ModelImportClusterAndFarVertex(benchmark::State& state)
{
    const u32 count = static_cast<u32>(state.range(0));
    std::mt19937 random(1);
    const auto place = [&random, count](u32 k) {
        if (k + 1 == count) return glm::vec3(1000.0f, 0.0f, 0.0f);
        return glm::vec3(static_cast<f32>(random() % 1000) * 1e-6f, static_cast<f32>(random() % 1000) * 1e-6f, 0.0f);
    };
    const std::string path = written("cluster", glbOf({cluster(count, count, place)}));
    importEach(state, path, vertexLayoutPosNormalUv, count);
    fs::remove(path);
}
BENCHMARK(BM_ModelImportClusterAndFarVertex)->Arg(60000)->Arg(300000)->Unit(benchmark::kMillisecond);

// Primitives of 3000 vertices at one point with 30 normals among them, all reading one
// set of accessors: as many as the bound on the elements read lets through.
void BM_ModelImportClustersInManyPrimitives(benchmark::State& state)
{
    const u32 primitives = static_cast<u32>(state.range(0));
    const std::string path =
        written("primitives", glbOf({cluster(3000, 30, [](u32) { return glm::vec3(1.0f); })}, primitives - 1));
    importEach(state, path, vertexLayoutPosNormalUv, u64{3000} * primitives);
    fs::remove(path);
}
BENCHMARK(BM_ModelImportClustersInManyPrimitives)->Arg(100)->Arg(444)->Unit(benchmark::kMillisecond);

// Primitives of one triangle each, reading one set of accessors: as many as the bound on
// primitives lets through, and as many as the bound on the values kept of the JSON would.
void BM_ModelImportManyTinyPrimitives(benchmark::State& state)
{
    const u32 primitives = static_cast<u32>(state.range(0));
    const auto place = [](u32 k) { return glm::vec3(static_cast<f32>(k), 0.0f, 0.0f); };
    const std::string path = written("tiny", glbOf({cluster(3, 3, place)}, primitives - 1));
    importEach(state, path, vertexLayoutPosNormalUv, u64{3} * primitives);
    fs::remove(path);
}
BENCHMARK(BM_ModelImportManyTinyPrimitives)->Arg(4096)->Arg(39000)->Unit(benchmark::kMillisecond);

// One triangle's vertices drawn by as many byte indices as the mesh storage holds.
void BM_ModelImportMostTrianglesOfOneTriangle(benchmark::State& state)
{
    const auto place = [](u32 k) { return glm::vec3(static_cast<f32>(k), 0.0f, 0.0f); };
    BenchPrimitive primitive = cluster(3, 3, place);
    const u32 count = (GameMeshStorageBytes - 4096) / 4 / 3 * 3;
    primitive.indices.resize(count);
    for (u32 k = 0; k < count; k++) primitive.indices[k] = k % 3;
    const std::string path = written("triangles", glbOf({primitive}));
    importEach(state, path, vertexLayoutPosNormalUv, 3);
    fs::remove(path);
}
BENCHMARK(BM_ModelImportMostTrianglesOfOneTriangle)->Unit(benchmark::kMillisecond);

void BM_ModelImportMostDistinctVertices(benchmark::State& state)
{
    const BenchPrimitive primitive = mostDistinctPositions();
    const std::string path = written("distinct", glbOf({primitive}));
    importEach(state, path, vertexLayoutPosition, primitive.positions.size() / 3);
    fs::remove(path);
}
BENCHMARK(BM_ModelImportMostDistinctVertices)->Unit(benchmark::kMillisecond);

// One mesh of many materials: 15,000 distinct vertices that `parts` primitives share,
// each drawing its own part of them by 16-bit indices (87 read as many elements as
// the bound lets through). Each keeps only what it draws.
void BM_ModelImportPartsOfOneAccessor(benchmark::State& state)
{
    const u32 parts = static_cast<u32>(state.range(0));
    constexpr u32 Vertices = 15000;
    const auto place = [](u32 k) { return glm::vec3(static_cast<f32>(k % 100), static_cast<f32>(k / 100), 0.0f); };
    std::vector<BenchPrimitive> drawn(parts);
    const u32 each = Vertices / parts / 3 * 3;
    for (u32 p = 0; p < parts; p++) {
        drawn[p].indexBytes = 2;
        for (u32 k = 0; k < each; k++) drawn[p].indices.push_back(p * each + k);
    }
    const std::string path = written("parts", glbOf({cluster(Vertices, 1, place)}, 0, drawn));
    importEach(state, path, vertexLayoutPosNormalUv, u64{Vertices} * parts);
    fs::remove(path);
}
BENCHMARK(BM_ModelImportPartsOfOneAccessor)->Arg(4)->Arg(64)->Arg(87)->Unit(benchmark::kMillisecond);

void BM_ModelImportCollidingHashes(benchmark::State& state)
{
    const u32 count = static_cast<u32>(state.range(0));
    const std::string path = written("colliding", glbOf({collidingPositions(count)}));
    importEach(state, path, vertexLayoutPosition, count);
    fs::remove(path);
}
BENCHMARK(BM_ModelImportCollidingHashes)->Arg(60000)->Arg(300000)->Unit(benchmark::kMillisecond);

// The join alone, on distinct vertices of which every one is given the same hash: the
// sort then tells every two apart by their bytes. It stays a sort.
void BM_VertexJoinOneHash(benchmark::State& state)
{
    const u32 count = static_cast<u32>(state.range(0));
    const BenchPrimitive primitive = cluster(count, 1, [](u32 k) { return glm::vec3(0.0f, 0.0f, static_cast<f32>(k)); });
    const std::vector<VertexStream> streams = {{reinterpret_cast<const u8*>(primitive.positions.data()), 12},
                                               {reinterpret_cast<const u8*>(primitive.normals.data()), 12}};
    std::vector<u32> vertices(count);
    for (u32 k = 0; k < count; k++) vertices[k] = count - 1 - k;
    std::vector<u32> remap;
    for (auto _ : state) {
        benchmark::DoNotOptimize(joinIdenticalVertices(streams, vertices, remap, [](const std::vector<VertexStream>&, u32) {
            return u64{1};
        }));
    }
}
BENCHMARK(BM_VertexJoinOneHash)->Arg(60000)->Arg(300000)->Arg(2400000)->Unit(benchmark::kMillisecond);

// The game's largest model, from the run directory beside the benchmarks.
void BM_ModelImportCastle(benchmark::State& state)
{
    const fs::path path = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "run" /
                          "assets/Buildings/BdCastle/castle.glb";
    if (!fs::exists(path)) {
        state.SkipWithError("no castle model in the run directory");
        return;
    }
    const ImportedModel model = importModel(path.c_str(), vertexLayoutPosNormalColor, {});
    u64 vertices = 0;
    for (const ImportedMesh& mesh : model.meshes) vertices += mesh.vertices.vertexCount;
    importEach(state, path.string(), vertexLayoutPosNormalColor, vertices);
}
BENCHMARK(BM_ModelImportCastle)->Unit(benchmark::kMillisecond);

} // namespace
