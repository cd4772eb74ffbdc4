#include "Game/Towers/TwMortarInstance.h"

#include "Game/Projectiles/ProjectileRules.h"
#include "Game/Projectiles/PtBombInstance.h"

void TwMortarInstance::fire(const glm::vec3& muzzle, const glm::vec3& velocity, i32 damage)
{
    PtBombInstance::create(muzzle, velocity, damage, ProjectileRules::BombBlastRadius);
}
