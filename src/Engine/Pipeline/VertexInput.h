#pragma once

#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Types.h"

#include <vulkan/vulkan.h>

#include <vector>

// The vertex input descriptions a pipeline is created with.
struct VertexInputDescription {
    std::vector<VkVertexInputBindingDescription> bindings;
    std::vector<VkVertexInputAttributeDescription> attributes;
};

// Interleaved: one binding with the layout's stride, attributes at running offsets.
// Separate streams: one binding per attribute (stride = its size), each at offset 0,
// so that a mesh's streams can be bound one by one.
VertexInputDescription describeVertexInput(const std::vector<VertexAttribute>& attributes, u32 stride,
                                           bool interleaved);
