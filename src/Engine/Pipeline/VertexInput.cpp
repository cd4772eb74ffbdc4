#include "Engine/Pipeline/VertexInput.h"

VertexInputDescription describeVertexInput(const std::vector<VertexAttribute>& attributes, u32 stride,
                                           bool interleaved)
{
    VertexInputDescription description;
    if (interleaved) {
        description.bindings.push_back({0, stride, VK_VERTEX_INPUT_RATE_VERTEX});
        u32 offset = 0;
        for (const VertexAttribute& attribute : attributes) {
            description.attributes.push_back(
                {attribute.location, 0, static_cast<VkFormat>(attribute.format), offset});
            offset += attribute.size;
        }
        return description;
    }
    for (u32 i = 0; i < attributes.size(); i++) {
        const VertexAttribute& attribute = attributes[i];
        description.bindings.push_back({i, attribute.size, VK_VERTEX_INPUT_RATE_VERTEX});
        description.attributes.push_back({attribute.location, i, static_cast<VkFormat>(attribute.format), 0});
    }
    return description;
}
