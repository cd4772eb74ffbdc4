#include "Engine/Mesh/VertexJoin.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>

namespace {

// A vertex's place in the sort: a 64-bit hash of its bytes first, so that most
// comparisons are of two words; vertices of one hash (equal ones, and any others that
// share it) are ordered by their bytes.
struct SortKey {
    u64 hash;
    u32 vertex;
};

} // namespace

u64 vertexHash(const std::vector<VertexStream>& streams, u32 vertex)
{
    u64 hash = 0xcbf29ce484222325ull;
    for (const VertexStream& stream : streams) {
        const u8* bytes = stream.data + size_t{vertex} * stream.size;
        for (u32 b = 0; b < stream.size; b++) hash = (hash ^ bytes[b]) * 0x100000001b3ull;
    }
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdull;
    return hash ^ (hash >> 33);
}

u32 joinIdenticalVertices(const std::vector<VertexStream>& streams, const std::vector<u32>& vertices,
                          std::vector<u32>& remap, VertexHash hash)
{
    const auto compare = [&streams, &vertices](u32 a, u32 b) {
        for (const VertexStream& stream : streams) {
            const int compared = std::memcmp(stream.data + size_t{vertices[a]} * stream.size,
                                             stream.data + size_t{vertices[b]} * stream.size, stream.size);
            if (compared != 0) return compared;
        }
        return 0;
    };
    // Equal vertices end up next to each other, in the order they come, so that each run
    // of equals starts with the first of them. Were every hash the same, the sort would
    // still be one of n log n comparisons of bytes. (Keys name places in `vertices`.)
    const u32 count = static_cast<u32>(vertices.size());
    std::vector<SortKey> order(count);
    for (u32 k = 0; k < count; k++) order[k] = {hash(streams, vertices[k]), k};
    std::sort(order.begin(), order.end(), [&compare](const SortKey& a, const SortKey& b) {
        if (a.hash != b.hash) return a.hash < b.hash;
        const int compared = compare(a.vertex, b.vertex);
        return compared != 0 ? compared < 0 : a.vertex < b.vertex;
    });
    std::vector<u32> first(count);
    for (u32 k = 0, run = 0; k < count; k++) {
        if (k > 0 && (order[k - 1].hash != order[k].hash || compare(order[k - 1].vertex, order[k].vertex) != 0)) run = k;
        first[order[k].vertex] = order[run].vertex;
    }
    // Numbers in the order the firsts come; a first comes before its equals.
    remap.assign(count, 0);
    u32 distinct = 0;
    for (u32 k = 0; k < count; k++) {
        remap[k] = first[k] == k ? distinct++ : remap[first[k]];
    }
    return distinct;
}

namespace {

using GltfModel::Accessor;
using GltfModel::Model;
using GltfModel::Primitive;

constexpr u32 UnsignedInt = 5125;

// Index `k` of an index accessor (unsigned bytes, shorts or ints, little-endian).
u32 indexAt(const Accessor& indices, u64 k)
{
    const size_t size = indices.bytes.size() / indices.count;
    u32 value = 0;
    std::memcpy(&value, indices.bytes.data() + k * size, size);
    return value;
}

// What the primitive draws: its indices, or each of its `count` vertices in turn.
std::vector<u32> drawnIndices(const Model& model, const Primitive& primitive, u64 count)
{
    if (!primitive.indices.has_value()) {
        std::vector<u32> drawn(count);
        std::iota(drawn.begin(), drawn.end(), 0u);
        return drawn;
    }
    const Accessor& source = model.accessors[*primitive.indices];
    std::vector<u32> drawn(source.count);
    for (u64 k = 0; k < source.count; k++) drawn[k] = indexAt(source, k);
    return drawn;
}

// The distinct vertices the primitive draws and its indices to them, as accessors
// appended to `joined`.
void joinPrimitive(const Model& model, Primitive& primitive, std::vector<Accessor>& joined)
{
    std::vector<VertexStream> streams;
    u64 count = 0;
    for (const auto& [semantic, accessor] : primitive.attributes) {
        const Accessor& source = model.accessors[accessor];
        streams.push_back({source.bytes.data(), static_cast<u32>(source.bytes.size() / source.count)});
        count = source.count;
    }
    // The vertices drawn, each once, in the order of the accessors (numbered so, the
    // equal ones joined), and each vertex's place among them. (A pass over the accessors'
    // vertices: each use of them counts towards the bound on the elements read.)
    constexpr u32 NotDrawn = UINT32_MAX;
    const std::vector<u32> drawn = drawnIndices(model, primitive, count);
    std::vector<u32> place(count, NotDrawn);
    for (const u32 vertex : drawn) place[vertex] = 0;
    std::vector<u32> used;
    used.reserve(std::min<size_t>(count, drawn.size()));
    for (u32 vertex = 0; vertex < count; vertex++) {
        if (place[vertex] == NotDrawn) continue;
        place[vertex] = static_cast<u32>(used.size());
        used.push_back(vertex);
    }
    std::vector<u32> remap;
    const u32 distinct = joinIdenticalVertices(streams, used, remap);

    for (auto& [semantic, accessor] : primitive.attributes) {
        const Accessor& source = model.accessors[accessor];
        const size_t size = source.bytes.size() / source.count;
        Accessor vertices{source.componentType, source.type, distinct, std::vector<u8>(size_t{distinct} * size)};
        for (size_t k = 0; k < used.size(); k++) {
            std::memcpy(vertices.bytes.data() + size_t{remap[k]} * size, source.bytes.data() + size_t{used[k]} * size,
                        size);
        }
        accessor = static_cast<u32>(joined.size());
        joined.push_back(std::move(vertices));
    }

    Accessor indices{UnsignedInt, "SCALAR", drawn.size(), std::vector<u8>(drawn.size() * sizeof(u32))};
    for (size_t k = 0; k < drawn.size(); k++) {
        std::memcpy(indices.bytes.data() + k * sizeof(u32), &remap[place[drawn[k]]], sizeof(u32));
    }
    primitive.indices = static_cast<u32>(joined.size());
    joined.push_back(std::move(indices));
}

} // namespace

void joinIdenticalVertices(Model& model)
{
    std::vector<Accessor> joined;
    for (GltfModel::Mesh& mesh : model.meshes) {
        for (Primitive& primitive : mesh.primitives) joinPrimitive(model, primitive, joined);
    }
    model.accessors = std::move(joined);
}
