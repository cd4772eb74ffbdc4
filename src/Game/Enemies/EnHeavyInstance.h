#pragma once

#include "Game/Enemies/EnemyInstance.h"

// A heavy enemy: slow, massive and tough. Its numbers (speed, steering, damage, reward) come from its kind.
class EnHeavyInstance : public EnemyInstance {
public:
    using EnemyInstance::EnemyInstance;
    // Of the EnHeavy kind (enemyTypes[EnemyTypeHeavy]).
    explicit EnHeavyInstance(const glm::vec3& position);
};
