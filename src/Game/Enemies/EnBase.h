#pragma once

#include "Game/Enemies/Enemy.h"

// The normal enemy: quick and light, weak.
class EnBase : public Enemy {
public:
    EnBase();
    std::unique_ptr<EnemyInstance> createInstance(const glm::vec3& position) override;
};
