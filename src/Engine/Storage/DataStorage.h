#pragma once

#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vulkan/vulkan.h>

#include <vector>

class GraphicsDevice;

// The smallest multiple of `alignment` not below `value`; `value` itself for 0.
constexpr u32 alignUp(u32 value, u32 alignment)
{
    return alignment == 0 ? value : (value + alignment - 1) / alignment * alignment;
}
// The same for sizes that may pass 32 bits.
constexpr u64 alignUp64(u64 value, u64 alignment)
{
    return alignment == 0 ? value : (value + alignment - 1) / alignment * alignment;
}

// Offset of a block that was never written.
constexpr u32 NoOffset = 0xFFFFFFFFu;

// A large GPU buffer with suballocation. Data is addressed by a byte offset into the
// whole buffer; uniform and storage blocks are bound as dynamic descriptors, so another
// block only changes a dynamic offset.
class DataStorage : public GraphicsResource {
public:
    GraphicsDevice* device = nullptr;
    VkBuffer buffer = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
    // The class name, for error messages ("DsUniformSingle: ...").
    const char* kindName = "DataStorage";

    ~DataStorage() override;

    // Stores `size` bytes and returns their offset. Rings ignore `previousOffset`;
    // pools queue its slot for reuse once the frames that may read it are recorded.
    virtual u32 write(u32 previousOffset, const void* data, u32 size, bool unaligned) = 0;
    // Reserves `size` bytes, gives a CPU pointer to fill through `out`, returns the offset.
    virtual u32 allocate(u32 previousOffset, void** out, u32 size) = 0;
    virtual u32 totalSize() = 0;
    // UNIFORM_BUFFER_DYNAMIC, STORAGE_BUFFER_DYNAMIC, or VK_DESCRIPTOR_TYPE_MAX_ENUM for
    // mesh storages, which are never bound as descriptors.
    virtual VkDescriptorType descriptorType() = 0;

protected:
    // Registers with `device`.
    DataStorage(GraphicsDevice* device, const char* kindName);
    // Host memory only: no device, no buffer, not registered (unit tests of the
    // allocation logic).
    explicit DataStorage(const char* kindName);
};

// A two-half ring in host-visible memory, written linearly; the owner switches halves
// once per frame so the CPU never writes what the previous frame's GPU work reads.
// A write that does not fit into the rest of the current half throws.
class DsRing : public DataStorage {
public:
    u32 halfSize = 0;
    u32 alignment = 1;
    u32 cursor = 0;
    u32 halfIndex = 0;
    u8* mapped = nullptr;
    // End of the half being written (cursor never passes it).
    u32 halfEnd = 0;

    u32 write(u32 previousOffset, const void* data, u32 size, bool unaligned) override;
    u32 allocate(u32 previousOffset, void** out, u32 size) override;
    u32 totalSize() override;
    // Writing continues at the start of the other half.
    void switchHalf();

protected:
    DsRing(GraphicsDevice* device, const char* kindName, u32 halfSize, u32 alignment, VkBufferUsageFlags usage);
    // Host memory only (2 x halfSize bytes at `memory`, owned by the caller).
    DsRing(const char* kindName, u8* memory, u32 halfSize, u32 alignment);
};

class DsMeshSingle : public DsRing {
public:
    explicit DsMeshSingle(u32 size); // on the global device
    VkDescriptorType descriptorType() override;
};

class DsUniformSingle : public DsRing {
public:
    DsUniformSingle(GraphicsDevice* device, u32 size);
    VkDescriptorType descriptorType() override;
};

class DsStorageSingle : public DsRing {
public:
    DsStorageSingle(GraphicsDevice* device, u32 size);
    VkDescriptorType descriptorType() override;
};

// A pool of equal slots handed out from a free stack; a slot given up by a rewrite is
// reused only after returnPendingFrees. Writing more than a slot, taking a slot from an
// empty pool or giving up an offset that is no slot throws.
class DsFixed : public DataStorage {
public:
    u32 slotCount = 0;
    u32 requestedSlotSize = 0;
    u32 slotSize = 0;
    u8* mapped = nullptr;
    u32* freeSlots = nullptr;
    u32 freeCount = 0;
    u32* pendingFrees = nullptr;
    u32 pendingFreeCount = 0;

    ~DsFixed() override;
    u32 write(u32 previousOffset, const void* data, u32 size, bool unaligned) override;
    u32 allocate(u32 previousOffset, void** out, u32 size) override;
    u32 totalSize() override;
    // Pushes the pending frees onto the free stack, in order.
    void returnPendingFrees();
    // Gives up the slot at `offset` without taking another (its owner is gone): it
    // joins the pending frees. An offset that is no slot in use throws.
    void release(u32 offset);

protected:
    DsFixed(GraphicsDevice* device, const char* kindName, u32 slotCount, u32 slotSize, u32 alignment,
            VkBufferUsageFlags usage);
    // Host memory only (slotCount x alignUp(slotSize, alignment) bytes at `memory`,
    // owned by the caller).
    DsFixed(const char* kindName, u8* memory, u32 slotCount, u32 slotSize, u32 alignment);

private:
    // Per slot: 0 free, 1 in use, 2 given up (pending). Catches a slot given up twice.
    std::vector<u8> slotStates;

    void initSlots(u32 count, u32 size, u32 alignment);
    // Validates a write or allocate and returns the offset of the slot it gets.
    u32 takeSlot(u32 previousOffset, u32 size);
    // Throws unless `offset` is the start of a slot in use.
    void checkInUse(u32 offset);
};

class DsStorageFixed : public DsFixed {
public:
    DsStorageFixed(); // 100,000 slots of 128 bytes (aligned), on the global device
    VkDescriptorType descriptorType() override;
};

class DsUniformFixed : public DsFixed {
public:
    DsUniformFixed(); // 1,024 slots of 64 bytes (aligned), on the global device
    VkDescriptorType descriptorType() override;
};

struct CopyRegion {
    u32 start = 0;
    u32 size = 0;
};

// A device-local buffer filled through a host-visible staging buffer; the dirty
// region is copied by the next frame's upload flush. `dirty` and `regions` are written
// by the loader thread and taken by the main thread: both only under the device's
// uploadMutex.
class DataStorageDevice : public DataStorage {
public:
    VkBuffer stagingBuffer = VK_NULL_HANDLE;
    VkDeviceMemory stagingMemory = VK_NULL_HANDLE;
    u8 dirty = 0;
    std::vector<CopyRegion> regions;

    // Leaves the device's pending-upload list.
    ~DataStorageDevice() override;
    // Queues this storage for the next upload flush, which copies everything written
    // so far (also what was filled through `allocate`).
    void scheduleUpload();

protected:
    DataStorageDevice(GraphicsDevice* device, const char* kindName);
};

class DsDeviceMeshSingle : public DataStorageDevice {
public:
    u32 halfSize = 0;
    u32 alignment = 16;
    u32 cursor = 0;
    u32 halfIndex = 0;
    u8* mappedStaging = nullptr;
    u32 halfEnd = 0;

    DsDeviceMeshSingle(GraphicsDevice* device, u32 size);
    u32 write(u32 previousOffset, const void* data, u32 size, bool unaligned) override;
    u32 allocate(u32 previousOffset, void** out, u32 size) override;
    // Room for `size` bytes where `allocate` would place them, left out of the region
    // that upload flushes copy until `markReservedWritten`: the caller fills it at
    // leisure (from any thread) and no flush copies half-written bytes meanwhile.
    u32 reserve(void** out, u32 size);
    // Everything reserved so far has been written: it joins the copy region.
    void markReservedWritten();
    // Bytes left in the current half for aligned writes.
    u64 roomLeft();
    u32 totalSize() override;
    VkDescriptorType descriptorType() override;
    // Writing continues at the start of the other half; the copy region restarts there.
    void switchHalf();
};

// Where a block lives: its storage, its size, its current offset (NoOffset until written).
struct StorageSlot {
    DataStorage* storage = nullptr;
    u32 size = 0;
    u32 offset = NoOffset;
};

// One per instance of a terrain chunk set.
struct InstanceSlot {
    u32 offset = NoOffset;
    StorageSlot* shared = nullptr;
};

// A new array of 256 instance slots sharing `shared`; the caller owns it (delete[]).
InstanceSlot* makeInstanceSlots(StorageSlot* shared);
