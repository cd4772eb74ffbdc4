#include "Engine/Storage/DataStorage.h"

#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>

namespace {

constexpr VkMemoryPropertyFlags HostMemory = VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT;

// The lowest set bit of a device offset alignment limit (1 for 0).
u32 lowestSetBit(VkDeviceSize limit)
{
    return limit == 0 ? 1u : static_cast<u32>(limit & (~limit + 1));
}

// Reserves `size` bytes at the cursor of a ring half that ends at `halfEnd`. Aligned
// writes start at an aligned offset (also after an unaligned one) and advance by the
// aligned size; unaligned ones advance by `size`. Never passes the end of the half.
u32 reserveLinear(const char* kind, u32& cursor, u32 halfEnd, u32 alignment, u32 size, bool unaligned)
{
    u64 offset = unaligned ? cursor : alignUp64(cursor, alignment);
    u64 advance = unaligned ? size : alignUp64(size, alignment);
    if (offset + size > halfEnd) {
        throw std::runtime_error(std::string(kind) + ": a write of " + std::to_string(size) + " bytes at offset " +
                                 std::to_string(offset) + " passes the end of the half at " +
                                 std::to_string(halfEnd));
    }
    cursor = static_cast<u32>(std::min<u64>(offset + advance, halfEnd));
    return static_cast<u32>(offset);
}

void copyBytes(u8* target, const void* data, u32 size)
{
    if (size > 0) {
        std::memcpy(target, data, size);
    }
}

enum SlotState : u8 { SlotFree = 0, SlotInUse = 1, SlotPending = 2 };

void* mapWhole(VkDevice device, VkDeviceMemory memory)
{
    void* pointer = nullptr;
    vkCheck(vkMapMemory(device, memory, 0, VK_WHOLE_SIZE, 0, &pointer), "failed to map storage memory!");
    return pointer;
}

} // namespace

// ---- DataStorage

DataStorage::DataStorage(GraphicsDevice* device_, const char* kindName_)
    : GraphicsResource(device_, ResourceStorage, true), device(device_), kindName(kindName_)
{
}

DataStorage::DataStorage(const char* kindName_) : kindName(kindName_)
{
}

DataStorage::~DataStorage()
{
    if (device == nullptr) {
        return;
    }
    if (buffer != VK_NULL_HANDLE) {
        vkDestroyBuffer(device->device, buffer, nullptr);
    }
    if (memory != VK_NULL_HANDLE) {
        vkFreeMemory(device->device, memory, nullptr);
    }
}

// ---- Two-half rings

DsRing::DsRing(GraphicsDevice* device_, const char* kindName_, u32 halfSize_, u32 alignment_,
               VkBufferUsageFlags usage)
    : DataStorage(device_, kindName_), halfSize(halfSize_), alignment(alignment_), halfEnd(halfSize_)
{
    BufferAllocation allocation =
        createBuffer(device->physicalDevice, device->device, 2ull * halfSize, usage, HostMemory);
    buffer = allocation.buffer;
    memory = allocation.memory;
    mapped = static_cast<u8*>(mapWhole(device->device, memory));
}

DsRing::DsRing(const char* kindName_, u8* memory_, u32 halfSize_, u32 alignment_)
    : DataStorage(kindName_), halfSize(halfSize_), alignment(alignment_), mapped(memory_), halfEnd(halfSize_)
{
}

u32 DsRing::write(u32, const void* data, u32 size, bool unaligned)
{
    u32 offset = reserveLinear(kindName, cursor, halfEnd, alignment, size, unaligned);
    copyBytes(mapped + offset, data, size);
    return offset;
}

u32 DsRing::allocate(u32, void** out, u32 size)
{
    u32 offset = reserveLinear(kindName, cursor, halfEnd, alignment, size, false);
    *out = mapped + offset;
    return offset;
}

u32 DsRing::totalSize()
{
    return 2 * halfSize;
}

void DsRing::switchHalf()
{
    cursor = halfIndex * halfSize;
    halfEnd = cursor + halfSize;
    halfIndex = 1 - halfIndex;
}

DsMeshSingle::DsMeshSingle(u32 size)
    : DsRing(Engine::graphicsDevice, "DsMeshSingle", alignUp(size, 16), 16,
             VK_BUFFER_USAGE_VERTEX_BUFFER_BIT | VK_BUFFER_USAGE_INDEX_BUFFER_BIT |
                 VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT)
{
}

VkDescriptorType DsMeshSingle::descriptorType()
{
    return VK_DESCRIPTOR_TYPE_MAX_ENUM;
}

DsUniformSingle::DsUniformSingle(GraphicsDevice* device_, u32 size)
    : DsRing(device_, "DsUniformSingle",
             alignUp(size, static_cast<u32>(device_->properties.limits.minUniformBufferOffsetAlignment)),
             lowestSetBit(device_->properties.limits.minUniformBufferOffsetAlignment),
             VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT | VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT)
{
}

VkDescriptorType DsUniformSingle::descriptorType()
{
    return VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC;
}

DsStorageSingle::DsStorageSingle(GraphicsDevice* device_, u32 size)
    : DsRing(device_, "DsStorageSingle",
             alignUp(size, static_cast<u32>(device_->properties.limits.minStorageBufferOffsetAlignment)),
             lowestSetBit(device_->properties.limits.minStorageBufferOffsetAlignment),
             VK_BUFFER_USAGE_STORAGE_BUFFER_BIT | VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT)
{
}

VkDescriptorType DsStorageSingle::descriptorType()
{
    return VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC;
}

// ---- Fixed-slot pools

DsFixed::DsFixed(GraphicsDevice* device_, const char* kindName_, u32 slotCount_, u32 slotSize_, u32 alignment,
                 VkBufferUsageFlags usage)
    : DataStorage(device_, kindName_)
{
    initSlots(slotCount_, slotSize_, alignment);
    BufferAllocation allocation =
        createBuffer(device->physicalDevice, device->device, u64{slotCount} * slotSize, usage, HostMemory);
    buffer = allocation.buffer;
    memory = allocation.memory;
    mapped = static_cast<u8*>(mapWhole(device->device, memory));
}

DsFixed::DsFixed(const char* kindName_, u8* memory_, u32 slotCount_, u32 slotSize_, u32 alignment)
    : DataStorage(kindName_)
{
    initSlots(slotCount_, slotSize_, alignment);
    mapped = memory_;
}

void DsFixed::initSlots(u32 count, u32 size, u32 alignment)
{
    slotCount = count;
    requestedSlotSize = size;
    slotSize = alignUp(size, alignment);
    freeSlots = new u32[count];
    pendingFrees = new u32[count];
    // Top of the stack is slot 0: slots go out in increasing order at first.
    for (u32 i = 0; i < count; i++) {
        freeSlots[i] = count - 1 - i;
    }
    freeCount = count;
    pendingFreeCount = 0;
    slotStates.assign(count, SlotFree);
}

DsFixed::~DsFixed()
{
    delete[] freeSlots;
    delete[] pendingFrees;
}

void DsFixed::checkInUse(u32 offset)
{
    if (slotSize == 0 || offset % slotSize != 0 || offset / slotSize >= slotCount) {
        throw std::runtime_error(std::string(kindName) + ": offset " + std::to_string(offset) +
                                 " is not the start of a slot");
    }
    if (slotStates[offset / slotSize] != SlotInUse) {
        throw std::runtime_error(std::string(kindName) + ": the slot at offset " + std::to_string(offset) +
                                 " is not in use (given up twice?)");
    }
}

u32 DsFixed::takeSlot(u32 previousOffset, u32 size)
{
    if (size > slotSize) {
        throw std::runtime_error(std::string(kindName) + ": a write of " + std::to_string(size) +
                                 " bytes does not fit into a slot of " + std::to_string(slotSize) + " bytes");
    }
    bool givesUpSlot = static_cast<i32>(previousOffset) >= 0;
    if (givesUpSlot) {
        checkInUse(previousOffset);
    }
    if (freeCount == 0) {
        throw std::runtime_error(std::string(kindName) + ": all " + std::to_string(slotCount) +
                                 " slots are in use");
    }
    if (givesUpSlot) {
        u32 given = previousOffset / slotSize;
        slotStates[given] = SlotPending;
        pendingFrees[pendingFreeCount++] = given;
    }
    u32 slot = freeSlots[--freeCount];
    slotStates[slot] = SlotInUse;
    return slot * slotSize;
}

void DsFixed::release(u32 offset)
{
    checkInUse(offset);
    u32 given = offset / slotSize;
    slotStates[given] = SlotPending;
    pendingFrees[pendingFreeCount++] = given;
}

u32 DsFixed::write(u32 previousOffset, const void* data, u32 size, bool)
{
    u32 offset = takeSlot(previousOffset, size);
    copyBytes(mapped + offset, data, size);
    return offset;
}

u32 DsFixed::allocate(u32 previousOffset, void** out, u32 size)
{
    u32 offset = takeSlot(previousOffset, size);
    *out = mapped + offset;
    return offset;
}

u32 DsFixed::totalSize()
{
    return slotCount * slotSize;
}

void DsFixed::returnPendingFrees()
{
    for (u32 i = 0; i < pendingFreeCount; i++) {
        slotStates[pendingFrees[i]] = SlotFree;
        freeSlots[freeCount++] = pendingFrees[i];
    }
    pendingFreeCount = 0;
}

DsStorageFixed::DsStorageFixed()
    : DsFixed(Engine::graphicsDevice, "DsStorageFixed", 100000, 128,
              static_cast<u32>(Engine::graphicsDevice->properties.limits.minStorageBufferOffsetAlignment),
              VK_BUFFER_USAGE_STORAGE_BUFFER_BIT | VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT)
{
}

VkDescriptorType DsStorageFixed::descriptorType()
{
    return VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC;
}

DsUniformFixed::DsUniformFixed()
    : DsFixed(Engine::graphicsDevice, "DsUniformFixed", 1024, 64,
              static_cast<u32>(Engine::graphicsDevice->properties.limits.minUniformBufferOffsetAlignment),
              VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT | VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT)
{
}

VkDescriptorType DsUniformFixed::descriptorType()
{
    return VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC;
}

// ---- Device storage

DataStorageDevice::DataStorageDevice(GraphicsDevice* device_, const char* kindName_)
    : DataStorage(device_, kindName_)
{
}

DataStorageDevice::~DataStorageDevice()
{
    {
        std::lock_guard lock(device->uploadMutex);
        std::vector<DataStorageDevice*>& pending = device->pendingStorageUploads;
        pending.erase(std::remove(pending.begin(), pending.end(), this), pending.end());
    }
    if (stagingBuffer != VK_NULL_HANDLE) {
        vkDestroyBuffer(device->device, stagingBuffer, nullptr);
    }
    if (stagingMemory != VK_NULL_HANDLE) {
        vkFreeMemory(device->device, stagingMemory, nullptr);
    }
}

void DataStorageDevice::scheduleUpload()
{
    std::lock_guard lock(device->uploadMutex);
    dirty = 1;
    device->pendingStorageUploads.push_back(this);
}

DsDeviceMeshSingle::DsDeviceMeshSingle(GraphicsDevice* device_, u32 size)
    : DataStorageDevice(device_, "DsDeviceMeshSingle")
{
    halfSize = alignUp(size, 16);
    halfEnd = halfSize;
    regions = {CopyRegion{0, 0}};
    // Transfer source too, so that tests can read the device copy back.
    BufferAllocation deviceBuffer = createBuffer(
        device->physicalDevice, device->device, 2ull * halfSize,
        VK_BUFFER_USAGE_VERTEX_BUFFER_BIT | VK_BUFFER_USAGE_INDEX_BUFFER_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT |
            VK_BUFFER_USAGE_TRANSFER_SRC_BIT,
        VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT);
    buffer = deviceBuffer.buffer;
    memory = deviceBuffer.memory;
    BufferAllocation staging = createBuffer(device->physicalDevice, device->device, 2ull * halfSize,
                                            VK_BUFFER_USAGE_TRANSFER_SRC_BIT, HostMemory);
    stagingBuffer = staging.buffer;
    stagingMemory = staging.memory;
    mappedStaging = static_cast<u8*>(mapWhole(device->device, stagingMemory));
}

// The loader thread writes while the main thread's upload flush takes the dirty
// region: the whole write happens under uploadMutex, so a flush sees either none or
// all of it.
u32 DsDeviceMeshSingle::write(u32, const void* data, u32 size, bool unaligned)
{
    std::lock_guard lock(device->uploadMutex);
    u32 offset = reserveLinear(kindName, cursor, halfEnd, alignment, size, unaligned);
    copyBytes(mappedStaging + offset, data, size);
    dirty = 1;
    regions[0].size = cursor - regions[0].start;
    return offset;
}

u32 DsDeviceMeshSingle::allocate(u32, void** out, u32 size)
{
    std::lock_guard lock(device->uploadMutex);
    u32 offset = reserveLinear(kindName, cursor, halfEnd, alignment, size, false);
    *out = mappedStaging + offset;
    dirty = 1;
    regions[0].size = cursor - regions[0].start;
    return offset;
}

u32 DsDeviceMeshSingle::reserve(void** out, u32 size)
{
    std::lock_guard lock(device->uploadMutex);
    u32 offset = reserveLinear(kindName, cursor, halfEnd, alignment, size, false);
    *out = mappedStaging + offset;
    return offset;
}

void DsDeviceMeshSingle::markReservedWritten()
{
    std::lock_guard lock(device->uploadMutex);
    dirty = 1;
    regions[0].size = cursor - regions[0].start;
}

u64 DsDeviceMeshSingle::roomLeft()
{
    std::lock_guard lock(device->uploadMutex);
    const u64 start = alignUp64(cursor, alignment);
    return start >= halfEnd ? 0 : halfEnd - start;
}

u32 DsDeviceMeshSingle::totalSize()
{
    return 2 * halfSize;
}

VkDescriptorType DsDeviceMeshSingle::descriptorType()
{
    return VK_DESCRIPTOR_TYPE_MAX_ENUM;
}

void DsDeviceMeshSingle::switchHalf()
{
    std::lock_guard lock(device->uploadMutex);
    cursor = halfIndex * halfSize;
    halfEnd = cursor + halfSize;
    halfIndex = 1 - halfIndex;
    regions = {CopyRegion{cursor, 0}};
}

InstanceSlot* makeInstanceSlots(StorageSlot* shared)
{
    InstanceSlot* slots = new InstanceSlot[256];
    for (u32 i = 0; i < 256; i++) {
        slots[i].offset = NoOffset;
        slots[i].shared = shared;
    }
    return slots;
}
