#include "Engine/Mesh/VertexJoin.h"

#include <algorithm>
#include <cstring>

namespace {

// A vertex's place in the sort: a 64-bit hash of its bytes first, so that most
// comparisons are of two words; vertices of one hash (equal ones, and any others that
// share it) are ordered by their bytes.
struct SortKey {
    u64 hash;
    u32 vertex;
};

// FNV-1a over the vertex's bytes, stream after stream, then mixed.
u64 hashOf(const std::vector<VertexStream>& streams, u32 vertex)
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

} // namespace

u32 joinIdenticalVertices(const std::vector<VertexStream>& streams, u32 count, std::vector<u32>& remap)
{
    const auto compare = [&streams](u32 a, u32 b) {
        for (const VertexStream& stream : streams) {
            const int compared = std::memcmp(stream.data + size_t{a} * stream.size, stream.data + size_t{b} * stream.size,
                                             stream.size);
            if (compared != 0) return compared;
        }
        return 0;
    };
    // Equal vertices end up next to each other, in the order they come, so that each run
    // of equals starts with the first of them. Were every hash the same, the sort would
    // still be one of n log n comparisons of bytes.
    std::vector<SortKey> order(count);
    for (u32 v = 0; v < count; v++) order[v] = {hashOf(streams, v), v};
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
    for (u32 v = 0; v < count; v++) {
        remap[v] = first[v] == v ? distinct++ : remap[first[v]];
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

// The primitive's distinct vertices and its indices to them, as accessors appended to
// `joined`.
void joinPrimitive(const Model& model, Primitive& primitive, std::vector<Accessor>& joined)
{
    std::vector<VertexStream> streams;
    u64 count = 0;
    for (const auto& [semantic, accessor] : primitive.attributes) {
        const Accessor& source = model.accessors[accessor];
        streams.push_back({source.bytes.data(), static_cast<u32>(source.bytes.size() / source.count)});
        count = source.count;
    }
    std::vector<u32> remap;
    const u32 distinct = joinIdenticalVertices(streams, static_cast<u32>(count), remap);

    for (auto& [semantic, accessor] : primitive.attributes) {
        const Accessor& source = model.accessors[accessor];
        const size_t size = source.bytes.size() / source.count;
        Accessor vertices{source.componentType, source.type, distinct, std::vector<u8>(size_t{distinct} * size)};
        for (u32 v = 0; v < count; v++) {
            std::memcpy(vertices.bytes.data() + size_t{remap[v]} * size, source.bytes.data() + size_t{v} * size, size);
        }
        accessor = static_cast<u32>(joined.size());
        joined.push_back(std::move(vertices));
    }

    const Accessor* sourceIndices = primitive.indices ? &model.accessors[*primitive.indices] : nullptr;
    const u64 indexCount = sourceIndices != nullptr ? sourceIndices->count : count;
    Accessor indices{UnsignedInt, "SCALAR", indexCount, std::vector<u8>(indexCount * sizeof(u32))};
    for (u64 k = 0; k < indexCount; k++) {
        const u32 index = remap[sourceIndices != nullptr ? indexAt(*sourceIndices, k) : k];
        std::memcpy(indices.bytes.data() + k * sizeof(u32), &index, sizeof(u32));
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
