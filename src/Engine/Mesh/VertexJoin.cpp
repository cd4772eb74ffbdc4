#include "Engine/Mesh/VertexJoin.h"

#include <algorithm>
#include <cstring>
#include <numeric>

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
    // The vertices in the order of their bytes; equal ones in the order they come, so
    // that each run of equals starts with the first of them.
    std::vector<u32> order(count);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&compare](u32 a, u32 b) {
        const int compared = compare(a, b);
        return compared != 0 ? compared < 0 : a < b;
    });
    std::vector<u32> first(count);
    for (u32 k = 0, run = 0; k < count; k++) {
        if (k > 0 && compare(order[k - 1], order[k]) != 0) run = k;
        first[order[k]] = order[run];
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
