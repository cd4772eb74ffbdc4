#pragma once

#include "Engine/Types.h"

#include <vulkan/vulkan.h>

#include <vector>

enum VertexAttributeKind : u32 {
    AttributePosition = 1,
    AttributeNormal = 2,
    AttributeTexcoord = 3,
    AttributeLineColor = 4,
    AttributeVertexColor = 5,
    AttributePackedColor = 6,
};

struct VertexAttribute {
    u32 location = 0;
    u32 format = 0; // VkFormat
    u32 size = 0;   // bytes of one element
    u32 kind = 0;   // VertexAttributeKind
};

// Which vertex attributes a pipeline reads and a mesh holds (one stream per attribute).
class VertexLayout {
public:
    u32 stride = 0; // bytes of one interleaved vertex
    std::vector<VertexAttribute> attributes;

    VertexLayout(std::vector<VertexAttribute> attributes, u32 stride);
};

// The global layouts, built before main runs and never freed.
extern VertexLayout* vertexLayoutEmpty;
extern VertexLayout* vertexLayoutPosition;
extern VertexLayout* vertexLayoutPosNormalColorUv;
extern VertexLayout* vertexLayoutPosNormalUv;
extern VertexLayout* vertexLayoutPosNormalColor;
extern VertexLayout* vertexLayoutUi;
extern VertexLayout* vertexLayoutLine;
extern VertexLayout* vertexLayoutUv;

// A transient block of planar vertex data: stream a holds `vertexCount` elements of
// attribute a back to back, starting at streamOffsets[a].
struct PlanarVertexData {
    VertexLayout* layout = nullptr;
    u32 vertexCount = 0;
    std::vector<u32> streamOffsets;
    std::vector<u8> data;

    PlanarVertexData(VertexLayout* layout, u32 vertexCount);
    void* stream(u32 attribute) { return data.data() + streamOffsets[attribute]; }
    const void* stream(u32 attribute) const { return data.data() + streamOffsets[attribute]; }
};

// One stream a vertex buffer is written with: the source's attribute `source` into the
// target's attribute `target` (the first of its kind), `byteSize` bytes.
struct VertexStreamWrite {
    u32 source = 0;
    u32 target = 0;
    u64 byteSize = 0;
};

// The streams written when `vertexCount` vertices of a block laid out as `source` go
// into a vertex buffer laid out as `target`, in the order they are written: each source
// attribute into the first target attribute of its kind, at the target's element size;
// a kind the target lacks is left out.
std::vector<VertexStreamWrite> vertexStreamWrites(const VertexLayout& source, const VertexLayout& target,
                                                  u32 vertexCount);

// What a mesh of `vertexCount` vertices laid out as `layout` and `indexCount` 32-bit
// indices takes in a mesh storage whose writes start and end on `alignment` bytes: its
// streams as above and its indices, each one write.
u64 meshStorageBytes(const VertexLayout& layout, u32 vertexCount, u64 indexCount, u32 alignment);
