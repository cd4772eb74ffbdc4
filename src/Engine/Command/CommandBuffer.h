#pragma once

#include "Engine/Types.h"

#include <vulkan/vulkan.h>

#include <vector>

class GraphicsDevice;
class Pipeline;
class Mesh;
class DataSet;
class Image;
class VertexLayout;
struct CopyRegion;

// The one recording object that every draw goes through: it skips repeated pipeline
// and mesh binds, collects data sets with their dynamic offsets, binds a mesh's
// streams in the order of the pipeline's vertex layout and records the upload copies.
class CommandBuffer {
public:
    static constexpr u32 MaxPendingSets = 20;
    static constexpr u32 MaxPendingOffsets = 200;

    Pipeline* pipeline = nullptr;
    GraphicsDevice* device = nullptr;
    VkCommandBuffer handle = VK_NULL_HANDLE;
    u8 free = 1;
    Mesh* lastMesh = nullptr;
    VkDescriptorSet pendingSets[MaxPendingSets]{};
    u32 pendingOffsets[MaxPendingOffsets]{};
    u32 pendingSetCount = 0;
    u32 pendingOffsetCount = 0;
    VkExtent2D renderExtent{};
    // The vertex layout the bound mesh streams follow: another pipeline with the same
    // mesh but a different layout binds the streams again.
    VertexLayout* lastLayout = nullptr;

    // Binds `pipeline` unless it is bound already.
    void bindPipeline(Pipeline* pipeline);
    // Rebuilds the data set if it is dirty, then queues its descriptor set and the
    // current offsets of its storage slots (binding order) as dynamic offsets. A slot
    // that was never written, or more than 20 sets or 200 offsets, throws.
    void addDataSet(DataSet* dataSet);
    // Binds the queued sets from `firstSet` with the bound pipeline's layout.
    void bindDataSets(u32 firstSet);
    // Binds the mesh's streams (if it or the layout changed) and draws it.
    void drawMesh(Mesh* mesh, u32 instanceCount);
    // Binds the streams of a mesh without an index buffer as drawMesh does and draws
    // `vertexCount` of its vertices from `firstVertex`, one instance. Part of a mesh:
    // the caller counts the drawn instance.
    void drawMeshVertices(Mesh* mesh, u32 firstVertex, u32 vertexCount);
    // Binds the streams and index buffer of an indexed mesh as drawMesh does and draws
    // `indexCount` of its indices from `firstIndex` (vertex offset 0), one instance.
    // Part of a mesh: the caller counts the drawn instance.
    void drawMeshIndices(Mesh* mesh, u32 firstIndex, u32 indexCount);
    // One barrier over the image's whole subresource range, no ownership transfer.
    void imageBarrier(Image* image, VkImageLayout oldLayout, VkImageLayout newLayout, VkPipelineStageFlags srcStage,
                      VkPipelineStageFlags dstStage, VkAccessFlags srcAccess, VkAccessFlags dstAccess);
    void setViewportAndScissor(VkExtent2D extent);
    void setViewport(VkExtent2D extent);
    // Records the copies of every pending storage and image upload, then one barrier
    // that makes them visible to vertex, index and shader reads.
    void flushUploads();
    // One copy from `staging` to `target` per region (same offset in both).
    void copyRegions(VkBuffer staging, VkBuffer target, std::vector<CopyRegion> regions);

private:
    // Binds the mesh's vertex streams (and index buffer) unless they are bound already.
    void bindMeshStreams(Mesh* mesh);
};
