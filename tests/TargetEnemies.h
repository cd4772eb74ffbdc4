#pragma once

// Enemies for tower and projectile tests: a kind in enemyTypes while it lives, enemies
// standing in the bucket grid that turrets search, and the references their bodies
// would carry.

#include "Engine/Physics/PhysicsReference.h"
#include "Game/Enemies/EnBase.h"
#include "Game/Enemies/Enemy.h"
#include "Game/Enemies/EnemyInstance.h"
#include "Game/Towers/EnemyBucketView.h"

#include <glm/glm.hpp>

#include <algorithm>
#include <memory>
#include <vector>

// The enemy kinds in enemyTypes before a test, put back after it.
struct SavedEnemyKinds {
    Enemy* kinds[EnemyTypeCount] = {};
    SavedEnemyKinds()
    {
        for (u32 i = 0; i < EnemyTypeCount; i++) kinds[i] = enemyTypes[i];
    }
    ~SavedEnemyKinds()
    {
        for (u32 i = 0; i < EnemyTypeCount; i++) enemyTypes[i] = kinds[i];
    }
    SavedEnemyKinds(const SavedEnemyKinds&) = delete;
    SavedEnemyKinds& operator=(const SavedEnemyKinds&) = delete;
};

// The normal enemy kind alone in enemyTypes, its enemies placed by hand.
struct TestEnemies : SavedEnemyKinds {
    static constexpr u32 BucketWidth = 128;

    EnBase normal;
    std::vector<std::vector<std::shared_ptr<EnemyInstance>>> buckets{BucketWidth * BucketWidth};
    std::vector<std::unique_ptr<PhysicsReference>> references;

    TestEnemies() { enemyTypes[EnemyTypeHeavy] = nullptr; }
    ~TestEnemies()
    {
        normal.instances.clear();
        buckets.clear();
    }
    TestEnemies(const TestEnemies&) = delete;
    TestEnemies& operator=(const TestEnemies&) = delete;

    EnemyBucketView view() { return {&buckets, BucketWidth}; }

    // An enemy at `position` (world space, grid origin -512) moving at `velocity`, in
    // its kind's list and in the bucket of its position.
    std::shared_ptr<EnemyInstance> add(const glm::vec3& position, const glm::vec3& velocity = glm::vec3(0.0f))
    {
        std::shared_ptr<EnemyInstance> enemy = normal.createInstance(position);
        enemy->velocity.store(velocity);
        enemy->listIndex = static_cast<i32>(normal.instances.size());
        normal.instances.push_back(enemy);
        bucketOf(position).push_back(enemy);
        return enemy;
    }
    std::vector<std::shared_ptr<EnemyInstance>>& bucketOf(const glm::vec3& position)
    {
        const u32 column = static_cast<u32>((position.x + 512.0f) / 8.0f);
        const u32 row = static_cast<u32>((position.z + 512.0f) / 8.0f);
        return buckets[row * BucketWidth + column];
    }
    // Moves an enemy to another place (and bucket).
    void move(const std::shared_ptr<EnemyInstance>& enemy, const glm::vec3& to)
    {
        auto& from = bucketOf(enemy->position.load());
        from.erase(std::remove(from.begin(), from.end(), enemy), from.end());
        enemy->position.store(to);
        bucketOf(to).push_back(enemy);
    }
    // The reference an enemy's body carries.
    PhysicsReference* referenceOf(EnemyInstance& enemy)
    {
        references.push_back(std::make_unique<PhysicsReference>(256u, &enemy, nullptr, 512u, nullptr, 1.0f));
        return references.back().get();
    }
};
