#pragma once

#include "Engine/Mesh/GltfModel.h"
#include "Engine/Types.h"

#include <vector>

// Vertices equal in every stream become one: what a model's meshes are stored as, so
// that a face's corners share their vertices. Only the vertices a primitive's faces draw
// are kept: exporters write the parts of one mesh (one for each material) as primitives
// that share one vertex accessor, each drawing its own part of it. Equal vertices are
// found by a sort (on a hash of each vertex, then on its bytes), never by a hash table:
// no way the vertices of a file lie (all at one point, all of one hash, all distinct)
// makes the join take more than a pass over its vertices and a sort of those drawn.
// Pure.
//
// Equal means equal in every byte. The model importer's own join, which this stands
// for, also joins positions a few units in the last place apart, and +0 with -0; the
// game keeps those apart, as the file wrote them.

// One stream of a primitive's vertices: `count` elements of `size` bytes, packed.
struct VertexStream {
    const u8* data = nullptr;
    u32 size = 0;
};

// The hash vertices are sorted on before their bytes: any function of a vertex's bytes
// will do (vertices of one hash are told apart by their bytes), so a test may give one
// that makes every hash the same.
using VertexHash = u64 (*)(const std::vector<VertexStream>& streams, u32 vertex);

// FNV-1a over the vertex's bytes, stream after stream, then mixed.
u64 vertexHash(const std::vector<VertexStream>& streams, u32 vertex);

// Gives each vertex of `vertices` (numbers of elements of every stream, in the order
// they are to be numbered) its index among the distinct ones, in `remap` (one for each
// of `vertices`): numbered in the order they first come, a vertex equal in all its
// bytes to an earlier one taking that one's number. Returns how many are distinct.
u32 joinIdenticalVertices(const std::vector<VertexStream>& streams, const std::vector<u32>& vertices,
                          std::vector<u32>& remap, VertexHash hash = vertexHash);

// Joins the vertices of every primitive of `model`: each primitive then reads accessors
// of its own, the distinct vertices its faces draw in the order of its accessors, and a
// list of 32-bit indices (one made for a primitive that had none), drawing what it drew
// before. Vertices that no face of the primitive draws are left out.
void joinIdenticalVertices(GltfModel::Model& model);
