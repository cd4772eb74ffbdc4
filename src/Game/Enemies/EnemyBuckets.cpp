#include "Game/Enemies/EnemyBuckets.h"

#include "Game/Enemies/EnemyInstance.h"
#include "Game/Enemies/EnemyRules.h"

#include <cmath>

EnemyBuckets::EnemyBuckets(u32 gridSize, const glm::vec3& origin_)
    : width(gridSize > 0 ? (gridSize - 1) / EnemyBucketRules::BucketCells : 0), origin(origin_),
      buckets(static_cast<size_t>(width) * width)
{
}

i32 EnemyBuckets::indexAt(f32 x, f32 z) const
{
    using namespace EnemyBucketRules;
    const f32 column = (x - origin.x) * InverseBucketCells;
    const f32 row = (z - origin.z) * InverseBucketCells;
    // Truncation toward zero: up to one bucket before the origin still counts as the
    // first column or row. Whatever is further out (or NaN) has no bucket.
    const f32 limit = static_cast<f32>(width);
    if (!(column > -1.0f && row > -1.0f && column < limit && row < limit)) return -1;
    return static_cast<i32>(column) + static_cast<i32>(row) * static_cast<i32>(width);
}

void EnemyBuckets::move(const std::shared_ptr<EnemyInstance>& enemy, i32 index)
{
    if (index == enemy->bucketIndex || index < 0 || static_cast<size_t>(index) >= buckets.size()) return;
    remove(*enemy);
    EnemyBucket& target = buckets[static_cast<size_t>(index)];
    enemy->bucketIndex = index;
    enemy->bucketSlot = static_cast<u32>(target.size());
    target.push_back(enemy);
}

void EnemyBuckets::remove(EnemyInstance& enemy)
{
    if (enemy.bucketIndex < 0) return;
    EnemyBucket& bucket = buckets[static_cast<size_t>(enemy.bucketIndex)];
    const size_t slot = enemy.bucketSlot;
    enemy.bucketIndex = -1;
    enemy.bucketSlot = 0;
    if (slot >= bucket.size() || bucket[slot].get() != &enemy) return;
    std::shared_ptr<EnemyInstance> last = std::move(bucket.back());
    bucket.pop_back();
    if (slot < bucket.size()) {
        bucket[slot] = std::move(last);
        bucket[slot]->bucketSlot = static_cast<u32>(slot);
    }
}

void EnemyBuckets::clear()
{
    for (EnemyBucket& bucket : buckets) {
        for (const std::shared_ptr<EnemyInstance>& enemy : bucket) {
            enemy->bucketIndex = -1;
            enemy->bucketSlot = 0;
        }
        bucket.clear();
    }
}

size_t EnemyBuckets::count() const
{
    size_t total = 0;
    for (const EnemyBucket& bucket : buckets) total += bucket.size();
    return total;
}
