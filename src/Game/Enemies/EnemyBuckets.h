#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>

#include <memory>
#include <vector>

class EnemyInstance;

// The enemies in one square of the map.
using EnemyBucket = std::vector<std::shared_ptr<EnemyInstance>>;

// The map cut into squares of 8 x 8 units, each listing the enemies standing in it, so
// that tower aiming looks only at the squares near a tower. A bucket's index is
// column + row * width from the world origin. Changed and read on the game-logic
// thread only (and in the teardown once that thread has stopped).
class EnemyBuckets {
public:
    u32 width = 0; // buckets per side: (terrain vertices per side - 1) / 8
    glm::vec3 origin{0.0f};
    std::vector<EnemyBucket> buckets;

    EnemyBuckets(u32 gridSize, const glm::vec3& origin);

    // The bucket at world position (x, z): column trunc((x - origin.x) / 8), row
    // trunc((z - origin.z) / 8); -1 outside the grid (or for a position that is not
    // finite).
    i32 indexAt(f32 x, f32 z) const;
    // Moves the enemy into bucket `index` (nothing when it is already there or the
    // index lies outside the grid).
    void move(const std::shared_ptr<EnemyInstance>& enemy, i32 index);
    // Takes the enemy out of its bucket: the last entry of the bucket takes its place.
    void remove(EnemyInstance& enemy);
    // Empties every bucket.
    void clear();
    const EnemyBucket& bucket(i32 index) const { return buckets[static_cast<size_t>(index)]; }
    // Enemies in all buckets together.
    size_t count() const;
};
