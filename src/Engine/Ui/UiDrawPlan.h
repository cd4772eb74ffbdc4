#pragma once

#include "Engine/Types.h"

#include <vector>

struct ImDrawData;

// The interface frame turned into draw calls, without Vulkan: what UiRenderer records.

struct UiScissor {
    i32 x = 0;
    i32 y = 0;
    u32 width = 0;
    u32 height = 0;
};

// Cuts a clip rectangle (x1, y1, x2, y2) in window pixels to the window. Returns false
// when nothing is left (x1 >= x2 or y1 >= y2 after cutting); otherwise the scissor has
// the offset (x1, y1) and the extent (x2 - x1, y2 - y1), each truncated to an integer.
bool clipToWindow(f32 x1, f32 y1, f32 x2, f32 y2, f32 windowWidth, f32 windowHeight, UiScissor* scissor);

struct UiDraw {
    void* texture = nullptr;  // texture identifier; the font's when the command has none
    bool bindTexture = false; // the texture differs from the one bound before this draw
    UiScissor scissor;
    u32 indexCount = 0;
    u32 firstIndex = 0;
    i32 vertexOffset = 0;
};

// The draws of a frame, in recording order, into `draws` (cleared first, capacity kept).
// Indices and vertices of list n start after all of those of the lists before it, as
// copyUiGeometry lays them out. Commands clipped away, commands with a user callback
// and commands without any texture (no font uploaded) give no draw.
void planUiDraws(const ImDrawData& data, f32 windowWidth, f32 windowHeight, void* fontTexture,
                 std::vector<UiDraw>* draws);

// Copies the vertices of every list back to back into `vertices` (TotalVtxCount
// records of 20 bytes) and their 16-bit indices, widened to 32 bits, into `indices`.
void copyUiGeometry(const ImDrawData& data, void* vertices, u32* indices);
