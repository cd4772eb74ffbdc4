#pragma once

#include "Game/Towers/TowerInstance.h"

// A cannon tower: fires cannonballs that live 5 s.
class TwCannonInstance : public TowerInstance {
public:
    using TowerInstance::TowerInstance;

protected:
    void fire(const glm::vec3& muzzle, const glm::vec3& velocity, i32 damage) override;
};
