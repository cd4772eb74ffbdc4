#pragma once

#include "Game/Enemies/Enemy.h"

// The heavy enemy: slow, massive and tough.
class EnHeavy : public Enemy {
public:
    EnHeavy();
    std::unique_ptr<EnemyInstance> createInstance(const glm::vec3& position) override;
};
