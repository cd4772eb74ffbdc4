#include "Engine/Command/CommandBuffer.h"

#include "Engine/Descriptor/DataSet.h"
#include "Engine/Descriptor/DescriptorSet.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/QuotedText.h"
#include "Engine/Image/Image.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Pipeline/Pipeline.h"
#include "Engine/Storage/DataStorage.h"

#include <mutex>
#include <stdexcept>
#include <string>

namespace {

// True while `resource` is registered, i.e. not yet released (a released resource
// waits for deletion at the end of the frame and must not be uploaded any more).
bool isRegistered(GraphicsDevice* device, GraphicsResource* resource)
{
    std::lock_guard lock(device->registryLock);
    if (resource->typeId >= device->registry.size()) {
        return false;
    }
    const std::vector<GraphicsResource*>& list = device->registry[resource->typeId];
    return resource->registryIndex < list.size() && list[resource->registryIndex] == resource;
}

void memoryBarrier(VkCommandBuffer handle, VkPipelineStageFlags2 srcStage, VkAccessFlags2 srcAccess,
                   VkPipelineStageFlags2 dstStage, VkAccessFlags2 dstAccess)
{
    VkMemoryBarrier2 barrier{VK_STRUCTURE_TYPE_MEMORY_BARRIER_2};
    barrier.srcStageMask = srcStage;
    barrier.srcAccessMask = srcAccess;
    barrier.dstStageMask = dstStage;
    barrier.dstAccessMask = dstAccess;
    VkDependencyInfo dependency{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dependency.memoryBarrierCount = 1;
    dependency.pMemoryBarriers = &barrier;
    vkCmdPipelineBarrier2(handle, &dependency);
}

constexpr VkPipelineStageFlags2 VertexInputStages =
    VK_PIPELINE_STAGE_2_VERTEX_ATTRIBUTE_INPUT_BIT | VK_PIPELINE_STAGE_2_INDEX_INPUT_BIT;

} // namespace

void CommandBuffer::bindPipeline(Pipeline* pipeline_)
{
    if (pipeline_ == pipeline) {
        return;
    }
    pipeline = pipeline_;
    vkCmdBindPipeline(handle, VK_PIPELINE_BIND_POINT_GRAPHICS, pipeline->pipeline);
}

void CommandBuffer::addDataSet(DataSet* dataSet)
{
    if (dataSet->dirty) {
        dataSet->rebuild();
    }
    if (pendingSetCount >= MaxPendingSets) {
        throw std::runtime_error("CommandBuffer::addDataSet: more than " + std::to_string(MaxPendingSets) +
                                 " data sets before bindDataSets");
    }
    // Check every slot before queuing anything, so a refused data set leaves no trace.
    u32 offsetCount = 0;
    for (const DataSetBinding& binding : dataSet->bindings) {
        if (binding.kind != DataSetStorageSlot) {
            continue;
        }
        const StorageSlot* slot = static_cast<const StorageSlot*>(binding.target);
        if (slot->offset == NoOffset) {
            throw std::runtime_error("CommandBuffer::addDataSet: the storage slot of binding " +
                                     std::to_string(binding.binding) +
                                     " was never written (no offset to bind)");
        }
        offsetCount++;
    }
    if (pendingOffsetCount + offsetCount > MaxPendingOffsets) {
        throw std::runtime_error("CommandBuffer::addDataSet: more than " + std::to_string(MaxPendingOffsets) +
                                 " dynamic offsets before bindDataSets");
    }
    pendingSets[pendingSetCount++] = dataSet->descriptorSet->set;
    for (const DataSetBinding& binding : dataSet->bindings) {
        if (binding.kind == DataSetStorageSlot) {
            pendingOffsets[pendingOffsetCount++] = static_cast<const StorageSlot*>(binding.target)->offset;
        }
    }
}

void CommandBuffer::bindDataSets(u32 firstSet)
{
    if (pipeline == nullptr) {
        throw std::runtime_error("CommandBuffer::bindDataSets: no pipeline is bound");
    }
    vkCmdBindDescriptorSets(handle, VK_PIPELINE_BIND_POINT_GRAPHICS, pipeline->pipelineLayout, firstSet,
                            pendingSetCount, pendingSets, pendingOffsetCount, pendingOffsets);
    pendingSetCount = 0;
    pendingOffsetCount = 0;
}

void CommandBuffer::bindMeshStreams(Mesh* mesh)
{
    if (pipeline == nullptr) {
        throw std::runtime_error("CommandBuffer::drawMesh: no pipeline is bound");
    }
    VertexLayout* layout = pipeline->vertexLayout;
    if (mesh != lastMesh || layout != lastLayout) {
        lastMesh = mesh;
        lastLayout = layout;
        const VertexBuffer* vertices = mesh->vertexBuffer;
        size_t count = layout->attributes.size();
        if (count > 8) {
            throw std::runtime_error("CommandBuffer::drawMesh: a vertex layout has more than 8 attributes");
        }
        VkBuffer buffers[8];
        VkDeviceSize offsets[8];
        for (size_t i = 0; i < count; i++) {
            const VertexStreamSlot* stream = vertices->streamOfKind(layout->attributes[i].kind);
            if (stream == nullptr || stream->offset == NoOffset) {
                lastMesh = nullptr;
                throw std::runtime_error("CommandBuffer::drawMesh: mesh " + quotedText(mesh->name) +
                                         " has no stream of attribute kind " +
                                         std::to_string(layout->attributes[i].kind) + " that the pipeline reads");
            }
            buffers[i] = vertices->storage->buffer;
            offsets[i] = stream->offset;
        }
        if (count > 0) {
            vkCmdBindVertexBuffers(handle, 0, static_cast<u32>(count), buffers, offsets);
        }
        if (mesh->indexBuffer != nullptr) {
            vkCmdBindIndexBuffer(handle, mesh->indexBuffer->storage->buffer, mesh->indexBuffer->offset,
                                 VK_INDEX_TYPE_UINT32);
        }
    }
}

void CommandBuffer::drawMesh(Mesh* mesh, u32 instanceCount)
{
    bindMeshStreams(mesh);
    device->drawnInstances += instanceCount;
    if (mesh->indexBuffer != nullptr) {
        vkCmdDrawIndexed(handle, mesh->indexBuffer->count, instanceCount, 0, 0, 0);
    } else {
        vkCmdDraw(handle, mesh->vertexBuffer->vertexCount, instanceCount, 0, 0);
    }
}

void CommandBuffer::drawMeshVertices(Mesh* mesh, u32 firstVertex, u32 vertexCount)
{
    if (mesh->indexBuffer != nullptr) {
        throw std::runtime_error("CommandBuffer::drawMeshVertices: mesh " + quotedText(mesh->name) + " is indexed");
    }
    if (firstVertex > mesh->vertexBuffer->vertexCount || vertexCount > mesh->vertexBuffer->vertexCount - firstVertex) {
        throw std::runtime_error("CommandBuffer::drawMeshVertices: vertices beyond mesh " + quotedText(mesh->name));
    }
    bindMeshStreams(mesh);
    vkCmdDraw(handle, vertexCount, 1, firstVertex, 0);
}

void CommandBuffer::drawMeshIndices(Mesh* mesh, u32 firstIndex, u32 indexCount)
{
    const IndexBuffer* indices = mesh->indexBuffer;
    if (indices == nullptr) {
        throw std::runtime_error("CommandBuffer::drawMeshIndices: mesh " + quotedText(mesh->name) + " has no indices");
    }
    if (firstIndex > indices->count || indexCount > indices->count - firstIndex) {
        throw std::runtime_error("CommandBuffer::drawMeshIndices: indices beyond mesh " + quotedText(mesh->name));
    }
    bindMeshStreams(mesh);
    vkCmdDrawIndexed(handle, indexCount, 1, firstIndex, 0, 0);
}

void CommandBuffer::imageBarrier(Image* image, VkImageLayout oldLayout, VkImageLayout newLayout,
                                 VkPipelineStageFlags srcStage, VkPipelineStageFlags dstStage,
                                 VkAccessFlags srcAccess, VkAccessFlags dstAccess)
{
    VkImageMemoryBarrier barrier{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER};
    barrier.srcAccessMask = srcAccess;
    barrier.dstAccessMask = dstAccess;
    barrier.oldLayout = oldLayout;
    barrier.newLayout = newLayout;
    barrier.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.image = image->image;
    barrier.subresourceRange = image->range;
    vkCmdPipelineBarrier(handle, srcStage, dstStage, 0, 0, nullptr, 0, nullptr, 1, &barrier);
}

void CommandBuffer::setViewportAndScissor(VkExtent2D extent)
{
    setViewport(extent);
    VkRect2D scissor{{0, 0}, extent};
    vkCmdSetScissor(handle, 0, 1, &scissor);
}

void CommandBuffer::setViewport(VkExtent2D extent)
{
    VkViewport viewport{};
    viewport.x = 0;
    viewport.y = 0;
    viewport.width = static_cast<f32>(static_cast<i32>(extent.width));
    viewport.height = static_cast<f32>(static_cast<i32>(extent.height));
    viewport.minDepth = 0;
    viewport.maxDepth = 1;
    vkCmdSetViewport(handle, 0, 1, &viewport);
}

void CommandBuffer::flushUploads()
{
    std::vector<DataStorageDevice*> storages;
    std::vector<Image*> images;
    {
        // The loader thread writes storages and queues uploads under this mutex: the
        // dirty flags and regions are read and cleared under it too.
        std::lock_guard lock(device->uploadMutex);
        storages.swap(device->pendingStorageUploads);
        images.swap(device->pendingImageUploads);
        bool copies = false;
        for (DataStorageDevice* storage : storages) {
            if (!storage->dirty || !isRegistered(device, storage)) {
                continue;
            }
            if (!copies) {
                // The previous frame may still read the device buffer: copy after it.
                memoryBarrier(handle, VertexInputStages, 0, VK_PIPELINE_STAGE_2_TRANSFER_BIT, 0);
                copies = true;
            }
            storage->dirty = 0;
            copyRegions(storage->stagingBuffer, storage->buffer, storage->regions);
        }
    }
    for (Image* image : images) {
        if (isRegistered(device, image)) {
            image->recordUpload(this);
        }
    }
    if (!storages.empty() || !images.empty()) {
        memoryBarrier(handle, VK_PIPELINE_STAGE_2_TRANSFER_BIT, VK_ACCESS_2_MEMORY_WRITE_BIT, VertexInputStages,
                      VK_ACCESS_2_MEMORY_READ_BIT);
    }
}

void CommandBuffer::copyRegions(VkBuffer staging, VkBuffer target, std::vector<CopyRegion> regions)
{
    std::vector<VkBufferCopy> copies;
    copies.reserve(regions.size());
    for (const CopyRegion& region : regions) {
        if (region.size == 0) {
            continue; // nothing written since the last switch
        }
        VkDeviceSize start = static_cast<VkDeviceSize>(static_cast<i32>(region.start));
        VkDeviceSize size = static_cast<VkDeviceSize>(static_cast<i32>(region.size));
        copies.push_back({start, start, size});
    }
    regions.clear();
    if (!copies.empty()) {
        vkCmdCopyBuffer(handle, staging, target, static_cast<u32>(copies.size()), copies.data());
    }
}
