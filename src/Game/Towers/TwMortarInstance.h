#pragma once

#include "Game/Towers/TowerInstance.h"

// A mortar tower: lobs bombs with a blast radius of 10.
class TwMortarInstance : public TowerInstance {
public:
    using TowerInstance::TowerInstance;

protected:
    void fire(const glm::vec3& muzzle, const glm::vec3& velocity, i32 damage) override;
};
