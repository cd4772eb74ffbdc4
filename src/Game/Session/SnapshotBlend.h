#pragma once

#include "Engine/Types.h"

// What a frame draws of the game-logic thread's three snapshot slots: the blend from
// the slot before `newer` towards `newer` by `alpha` (0: the older slot, 1: the newer).
struct SnapshotBlend {
    u32 newer = 0;
    f32 alpha = 1.0f;

    u32 older() const { return (newer + 2) % 3; }
};
