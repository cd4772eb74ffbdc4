#pragma once

#include "Engine/Types.h"

#include <cstddef>

// One vertex of a physics debug line (the interleaved line vertex layout): two
// consecutive vertices make one line.
struct LineVertex {
    f32 position[3];
    f32 colour[3];
};
static_assert(sizeof(LineVertex) == 24);

constexpr u32 LineBytes = 2 * sizeof(LineVertex);
// Size of one half of the line storage.
constexpr u32 LineStorageSize = 50000000;
// Debug mode the world is drawn with: every collision object as a wireframe.
constexpr int PhysicsDebugWireframe = 1;

// Whole lines among `vertexCount` collected vertices, at most as many as fit into one
// half of a line storage of `halfSize` bytes (the rest is not drawn).
constexpr u32 drawableLineCount(size_t vertexCount, u32 halfSize)
{
    const size_t lines = vertexCount / 2;
    const size_t capacity = halfSize / LineBytes;
    return static_cast<u32>(lines < capacity ? lines : capacity);
}
