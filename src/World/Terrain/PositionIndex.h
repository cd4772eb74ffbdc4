#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>

#include <vector>

// Shares the positions of a non-indexed mesh: each distinct position is kept once and
// every original vertex becomes an index naming its position, in the original order,
// so that drawing index k draws exactly what vertex k drew. Positions are the same only
// when all twelve bytes are (0.0 and -0.0 stay apart, as do NaNs of other bits), so the
// indexed mesh gives the GPU the very bits it had before.
class PositionIndexer {
public:
    // `positions` holds `count` positions of three floats each, 12 bytes apiece, back
    // to back (any alignment). Writes the distinct positions, in the order they are
    // first met, to `distinct` (room for `count` positions, same packing) and one index
    // per original vertex to `indices` (room for `count`); returns how many positions
    // are distinct.
    u32 index(const u8* positions, u32 count, u8* distinct, u32* indices);

private:
    // Open addressing: per slot, the distinct position's number + 1 (0: empty).
    std::vector<u32> slots;
    // The distinct positions' bits, for comparing keys without unaligned reads.
    std::vector<u32> keys;
};

// The same on plain vectors.
struct IndexedPositions {
    std::vector<glm::vec3> positions;
    std::vector<u32> indices;
};
IndexedPositions indexPositions(const std::vector<glm::vec3>& positions);
