#pragma once

#include "Engine/Mesh/GltfModel.h"
#include "Engine/Types.h"

#include <vector>

// Vertices equal in every stream become one: what a model's meshes are stored as, so
// that a face's corners share their vertices. Equal vertices are found by a sort (on a
// hash of each vertex, then on its bytes), never by a hash table: no way the vertices of
// a file lie (all at one point, all of one hash, all distinct) makes the join take more
// than the time of a sort. Pure.

// One stream of a primitive's vertices: `count` elements of `size` bytes, packed.
struct VertexStream {
    const u8* data = nullptr;
    u32 size = 0;
};

// Gives each of `count` vertices (an element of every stream) its index among the
// distinct vertices, in `remap`: vertices numbered in the order they first appear, a
// vertex equal in all its bytes to an earlier one taking that one's number. Returns how
// many distinct vertices there are.
u32 joinIdenticalVertices(const std::vector<VertexStream>& streams, u32 count, std::vector<u32>& remap);

// Joins the vertices of every primitive of `model`: each primitive then reads accessors
// of its own, its distinct vertices and a list of 32-bit indices (one made for a
// primitive that had none), drawing what it drew before.
void joinIdenticalVertices(GltfModel::Model& model);
