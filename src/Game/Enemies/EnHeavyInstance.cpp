#include "Game/Enemies/EnHeavyInstance.h"

#include "Game/Enemies/Enemy.h"

EnHeavyInstance::EnHeavyInstance(const glm::vec3& position) : EnemyInstance(enemyTypes[EnemyTypeHeavy], position)
{
}
