#pragma once

#include "Game/Enemies/EnemyInstance.h"

// A normal enemy: quick and light, weak. Its numbers (speed, steering, damage, reward) come from its kind.
class EnBaseInstance : public EnemyInstance {
public:
    using EnemyInstance::EnemyInstance;
    // Of the EnBase kind (enemyTypes[EnemyTypeBase]).
    explicit EnBaseInstance(const glm::vec3& position);
};
