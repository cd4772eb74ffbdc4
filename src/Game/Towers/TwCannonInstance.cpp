#include "Game/Towers/TwCannonInstance.h"

#include "Game/Projectiles/ProjectileRules.h"
#include "Game/Projectiles/PtCannonBallInstance.h"

void TwCannonInstance::fire(const glm::vec3& muzzle, const glm::vec3& velocity, i32 damage)
{
    PtCannonBallInstance::create(muzzle, velocity, damage, ProjectileRules::CannonBallLifetimeSeconds);
}
