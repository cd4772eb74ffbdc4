#include "Engine/Mesh/VertexLayout.h"

#include "Engine/Storage/DataStorage.h"

VertexLayout::VertexLayout(std::vector<VertexAttribute> attributes_, u32 stride_)
    : stride(stride_), attributes(std::move(attributes_))
{
}

VertexLayout* vertexLayoutEmpty = nullptr;
VertexLayout* vertexLayoutPosition = nullptr;
VertexLayout* vertexLayoutPosNormalColorUv = nullptr;
VertexLayout* vertexLayoutPosNormalUv = nullptr;
VertexLayout* vertexLayoutPosNormalColor = nullptr;
VertexLayout* vertexLayoutUi = nullptr;
VertexLayout* vertexLayoutLine = nullptr;
VertexLayout* vertexLayoutUv = nullptr;

namespace {

constexpr VertexAttribute position3(u32 location)
{
    return {location, VK_FORMAT_R32G32B32_SFLOAT, 12, AttributePosition};
}
constexpr VertexAttribute normal(u32 location)
{
    return {location, VK_FORMAT_R32G32B32_SFLOAT, 12, AttributeNormal};
}
constexpr VertexAttribute vertexColor(u32 location)
{
    return {location, VK_FORMAT_R32G32B32A32_SFLOAT, 16, AttributeVertexColor};
}
constexpr VertexAttribute texcoord(u32 location)
{
    return {location, VK_FORMAT_R32G32_SFLOAT, 8, AttributeTexcoord};
}

// Built before main runs (static initialisation of this file); never freed.
struct VertexLayoutInitialiser {
    VertexLayoutInitialiser()
    {
        vertexLayoutEmpty = new VertexLayout({}, 0);
        vertexLayoutPosition = new VertexLayout({position3(0)}, 12);
        vertexLayoutPosNormalColorUv = new VertexLayout({position3(0), normal(1), vertexColor(2), texcoord(3)}, 48);
        vertexLayoutPosNormalUv = new VertexLayout({position3(0), normal(1), texcoord(2)}, 32);
        vertexLayoutPosNormalColor = new VertexLayout({position3(0), normal(1), vertexColor(2)}, 40);
        vertexLayoutUi = new VertexLayout({{0, VK_FORMAT_R32G32_SFLOAT, 8, AttributePosition}, texcoord(1),
                                           {2, VK_FORMAT_R8G8B8A8_UNORM, 4, AttributePackedColor}},
                                          20);
        vertexLayoutLine =
            new VertexLayout({position3(0), {1, VK_FORMAT_R32G32B32_SFLOAT, 12, AttributeLineColor}}, 24);
        vertexLayoutUv = new VertexLayout({texcoord(0)}, 8);
    }
};

const VertexLayoutInitialiser initVertexLayouts;

} // namespace

PlanarVertexData::PlanarVertexData(VertexLayout* layout_, u32 vertexCount_)
    : layout(layout_), vertexCount(vertexCount_)
{
    u64 offset = 0;
    for (const VertexAttribute& attribute : layout->attributes) {
        streamOffsets.push_back(static_cast<u32>(offset));
        offset += u64{attribute.size} * vertexCount;
    }
    data.assign(offset, 0);
}

std::vector<VertexStreamWrite> vertexStreamWrites(const VertexLayout& source, const VertexLayout& target,
                                                  u32 vertexCount)
{
    std::vector<VertexStreamWrite> writes;
    for (size_t a = 0; a < source.attributes.size(); a++) {
        for (size_t t = 0; t < target.attributes.size(); t++) {
            if (target.attributes[t].kind != source.attributes[a].kind) continue;
            writes.push_back({static_cast<u32>(a), static_cast<u32>(t), u64{vertexCount} * target.attributes[t].size});
            break;
        }
    }
    return writes;
}

u64 meshStorageBytes(const VertexLayout& layout, u32 vertexCount, u64 indexCount, u32 alignment)
{
    u64 total = alignUp64(indexCount * sizeof(u32), alignment);
    for (const VertexStreamWrite& write : vertexStreamWrites(layout, layout, vertexCount)) {
        total += alignUp64(write.byteSize, alignment);
    }
    return total;
}
