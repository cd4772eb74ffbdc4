#pragma once

#include "Engine/Types.h"

#include <memory>
#include <vector>

class EnemyInstance;

// Where turrets find enemies: the enemy manager's grid of 8 x 8 buckets (index
// row * width + column), each listing the enemies inside it. Read on the game-logic
// thread, which alone changes the buckets.
struct EnemyBucketView {
    const std::vector<std::vector<std::shared_ptr<EnemyInstance>>>* buckets = nullptr;
    u32 width = 0; // buckets per side
};
