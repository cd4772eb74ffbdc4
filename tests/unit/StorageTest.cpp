#include "Engine/Storage/DataStorage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The rings and pools on host memory: the allocation logic without a device.
struct HostMemory {
    std::vector<u8> bytes;
    explicit HostMemory(size_t size) : bytes(size, 0) {}
};

class HostRing : private HostMemory, public DsRing {
public:
    HostRing(u32 halfSize, u32 alignment)
        : HostMemory(2 * size_t{halfSize}), DsRing("HostRing", HostMemory::bytes.data(), halfSize, alignment)
    {
    }
    VkDescriptorType descriptorType() override { return VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC; }
    const u8* at(u32 offset) const { return HostMemory::bytes.data() + offset; }
};

class HostPool : private HostMemory, public DsFixed {
public:
    HostPool(u32 slotCount, u32 slotSize, u32 alignment)
        : HostMemory(size_t{slotCount} * alignUp(slotSize, alignment)),
          DsFixed("HostPool", HostMemory::bytes.data(), slotCount, slotSize, alignment)
    {
    }
    VkDescriptorType descriptorType() override { return VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC; }
    const u8* at(u32 offset) const { return HostMemory::bytes.data() + offset; }
};

template <typename F> std::string errorOf(F&& f)
{
    try {
        f();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "(no exception)";
}

} // namespace

TEST(AlignUp, RoundsUpToMultiples)
{
    EXPECT_EQ(alignUp(0, 16), 0u);
    EXPECT_EQ(alignUp(1, 16), 16u);
    EXPECT_EQ(alignUp(16, 16), 16u);
    EXPECT_EQ(alignUp(100000, 256), 100096u);
    EXPECT_EQ(alignUp(7, 0), 7u);
    EXPECT_EQ(alignUp(10, 3), 12u);
}

TEST(StorageSlot, StartsUnwritten)
{
    StorageSlot slot;
    EXPECT_EQ(slot.offset, NoOffset);
    EXPECT_EQ(static_cast<i32>(slot.offset), -1);
    StorageSlot shared{nullptr, 64, 0};
    InstanceSlot* slots = makeInstanceSlots(&shared);
    for (int i = 0; i < 256; i++) {
        EXPECT_EQ(slots[i].offset, NoOffset);
        EXPECT_EQ(slots[i].shared, &shared);
    }
    delete[] slots;
}

TEST(DsRing, AlignedAndUnalignedWrites)
{
    HostRing ring(1024, 256);
    const u8 byte = 7;
    EXPECT_EQ(ring.write(NoOffset, &byte, 1, false), 0u);
    EXPECT_EQ(ring.cursor, 256u); // one aligned byte advances by the alignment
    EXPECT_EQ(ring.write(NoOffset, &byte, 1, true), 256u);
    EXPECT_EQ(ring.cursor, 257u);
    // An aligned write after an unaligned one starts at an aligned offset.
    const u32 word = 7;
    EXPECT_EQ(ring.write(NoOffset, &word, 4, false), 512u);
    EXPECT_EQ(ring.cursor, 768u);
    EXPECT_EQ(*ring.at(0), 7);
    EXPECT_EQ(*ring.at(256), 7);
    EXPECT_EQ(ring.totalSize(), 2048u);

    void* out = nullptr;
    EXPECT_EQ(ring.allocate(NoOffset, &out, 10), 768u);
    EXPECT_EQ(out, ring.at(768));
    EXPECT_EQ(ring.cursor, 1024u);
}

TEST(DsRing, SwitchHalfAlternates)
{
    HostRing ring(1000, 8);
    const u32 value = 0xA5A5A5A5;
    ring.switchHalf();
    EXPECT_EQ(ring.write(NoOffset, &value, 4, false), 0u);
    ring.switchHalf();
    EXPECT_EQ(ring.write(NoOffset, &value, 4, false), 1000u);
    ring.switchHalf();
    EXPECT_EQ(ring.write(NoOffset, &value, 4, false), 0u);
    ring.switchHalf();
    EXPECT_EQ(ring.write(NoOffset, &value, 4, false), 1000u);
}

TEST(DsRing, WritingPastTheHalfThrows)
{
    HostRing ring(64, 16);
    std::vector<u8> data(64, 1);
    // Before any switch the first half is written.
    EXPECT_EQ(ring.write(NoOffset, data.data(), 48, false), 0u);
    std::string error = errorOf([&] { ring.write(NoOffset, data.data(), 17, false); });
    EXPECT_NE(error.find("HostRing"), std::string::npos) << error;
    EXPECT_NE(error.find("end of the half"), std::string::npos) << error;
    // Nothing moved; what fits still goes in.
    EXPECT_EQ(ring.cursor, 48u);
    EXPECT_EQ(ring.write(NoOffset, data.data(), 16, false), 48u);
    EXPECT_THROW(ring.write(NoOffset, data.data(), 1, true), std::runtime_error);
    void* out = nullptr;
    EXPECT_THROW(ring.allocate(NoOffset, &out, 1), std::runtime_error);
    // The second half is as long as the first, no longer: the bytes after it are
    // never touched.
    ring.switchHalf();
    ring.switchHalf();
    EXPECT_EQ(ring.write(NoOffset, data.data(), 64, false), 64u);
    EXPECT_THROW(ring.write(NoOffset, data.data(), 1, true), std::runtime_error);
    // A write larger than a half never fits.
    ring.switchHalf();
    EXPECT_THROW(ring.write(NoOffset, data.data(), 65, true), std::runtime_error);
}

TEST(DsFixed, SlotsAreHandedOutAndReturnedAfterPendingFrees)
{
    HostPool pool(4, 100, 64);
    EXPECT_EQ(pool.slotSize, 128u);
    EXPECT_EQ(pool.requestedSlotSize, 100u);
    EXPECT_EQ(pool.totalSize(), 512u);
    const u32 payload[2] = {1, 2};
    u32 first = pool.write(NoOffset, payload, sizeof(payload), false);
    u32 second = pool.write(NoOffset, payload, sizeof(payload), false);
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(second, 128u);
    EXPECT_EQ(std::memcmp(pool.at(second), payload, sizeof(payload)), 0);
    // Rewriting the first block gives a new slot and queues slot 0.
    u32 rewritten = pool.write(first, payload, sizeof(payload), false);
    EXPECT_EQ(rewritten, 256u);
    EXPECT_EQ(pool.pendingFreeCount, 1u);
    EXPECT_EQ(pool.pendingFrees[0], 0u);
    pool.returnPendingFrees();
    EXPECT_EQ(pool.pendingFreeCount, 0u);
    EXPECT_EQ(pool.write(NoOffset, payload, sizeof(payload), false), 0u);

    void* out = nullptr;
    EXPECT_EQ(pool.allocate(NoOffset, &out, 128), 384u);
    EXPECT_EQ(out, pool.at(384));
}

TEST(DsFixed, ExhaustionAndOversizeThrow)
{
    HostPool pool(2, 32, 16);
    const u8 data[33] = {};
    std::string error = errorOf([&] { pool.write(NoOffset, data, 33, false); });
    EXPECT_NE(error.find("HostPool"), std::string::npos) << error;
    EXPECT_NE(error.find("does not fit"), std::string::npos) << error;
    EXPECT_EQ(pool.freeCount, 2u);

    u32 a = pool.write(NoOffset, data, 32, false);
    pool.write(NoOffset, data, 32, false);
    error = errorOf([&] { pool.write(NoOffset, data, 1, false); });
    EXPECT_NE(error.find("all 2 slots are in use"), std::string::npos) << error;
    void* out = nullptr;
    EXPECT_THROW(pool.allocate(NoOffset, &out, 1), std::runtime_error);
    // A refused rewrite queues nothing.
    EXPECT_THROW(pool.write(a, data, 1, false), std::runtime_error);
    EXPECT_EQ(pool.pendingFreeCount, 0u);
}

TEST(DsFixed, ForeignOffsetsAndDoubleFreesThrow)
{
    HostPool pool(3, 32, 16);
    const u8 data[4] = {};
    u32 a = pool.write(NoOffset, data, 4, false);
    EXPECT_THROW(pool.write(a + 4, data, 4, false), std::runtime_error); // inside a slot
    EXPECT_THROW(pool.write(3 * 32, data, 4, false), std::runtime_error); // past the pool
    EXPECT_THROW(pool.write(2 * 32, data, 4, false), std::runtime_error); // a slot never handed out
    // Giving up the same slot twice throws, also after the frees came back.
    pool.write(a, data, 4, false);
    std::string error = errorOf([&] { pool.write(a, data, 4, false); });
    EXPECT_NE(error.find("not in use"), std::string::npos) << error;
    pool.returnPendingFrees();
    EXPECT_THROW(pool.write(a, data, 4, false), std::runtime_error);
    EXPECT_EQ(pool.freeCount, 2u);
}

TEST(DsFixed, AReleasedSlotComesBackAfterThePendingFrees)
{
    HostPool pool(2, 32, 16);
    const u8 data[4] = {};
    u32 a = pool.write(NoOffset, data, 4, false);
    pool.write(NoOffset, data, 4, false);
    // A slot whose owner went: not reusable until the frames that read it are done.
    pool.release(a);
    EXPECT_EQ(pool.pendingFreeCount, 1u);
    EXPECT_THROW(pool.write(NoOffset, data, 4, false), std::runtime_error) << "still pending";
    EXPECT_THROW(pool.release(a), std::runtime_error) << "released twice";
    EXPECT_THROW(pool.release(a + 4), std::runtime_error) << "not a slot";
    pool.returnPendingFrees();
    EXPECT_EQ(pool.write(NoOffset, data, 4, false), a);
}
