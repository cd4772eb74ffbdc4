#include "World/Terrain/PositionIndex.h"

#include <bit>
#include <cstring>
#include <stdexcept>

namespace {

constexpr u32 PositionBytes = 12;

// Mixes the three words of a position into a slot number's worth of bits.
inline u32 hashKey(u32 x, u32 y, u32 z)
{
    u32 h = x * 0x9E3779B1u;
    h ^= y * 0x85EBCA77u + (h << 6) + (h >> 2);
    h ^= z * 0xC2B2AE3Du + (h << 6) + (h >> 2);
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

} // namespace

u32 PositionIndexer::index(const u8* positions, u32 count, u8* distinct, u32* indices)
{
    if (count == 0) return 0;
    if (count > 0x3FFFFFFFu) throw std::length_error("position index: too many vertices");
    // At most half full even when no two positions are the same.
    const u32 slotCount = std::bit_ceil(2 * count);
    const u32 mask = slotCount - 1;
    slots.assign(slotCount, 0);
    keys.resize(static_cast<size_t>(count) * 3);

    u32 distinctCount = 0;
    for (u32 v = 0; v < count; v++) {
        u32 key[3];
        std::memcpy(key, positions + static_cast<size_t>(v) * PositionBytes, PositionBytes);
        u32 slot = hashKey(key[0], key[1], key[2]) & mask;
        for (;;) {
            const u32 entry = slots[slot];
            if (entry == 0) {
                const u32 number = distinctCount++;
                slots[slot] = number + 1;
                std::memcpy(&keys[static_cast<size_t>(number) * 3], key, PositionBytes);
                std::memcpy(distinct + static_cast<size_t>(number) * PositionBytes, key, PositionBytes);
                indices[v] = number;
                break;
            }
            const u32* known = &keys[static_cast<size_t>(entry - 1) * 3];
            if (known[0] == key[0] && known[1] == key[1] && known[2] == key[2]) {
                indices[v] = entry - 1;
                break;
            }
            slot = (slot + 1) & mask;
        }
    }
    return distinctCount;
}

IndexedPositions indexPositions(const std::vector<glm::vec3>& positions)
{
    static_assert(sizeof(glm::vec3) == PositionBytes, "positions are three packed floats");
    IndexedPositions result;
    const u32 count = static_cast<u32>(positions.size());
    result.positions.resize(count);
    result.indices.resize(count);
    PositionIndexer indexer;
    const u32 distinct = indexer.index(reinterpret_cast<const u8*>(positions.data()), count,
                                       reinterpret_cast<u8*>(result.positions.data()), result.indices.data());
    result.positions.resize(distinct);
    return result;
}
