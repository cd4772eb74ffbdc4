#include "Game/Enemies/EnBaseInstance.h"

#include "Game/Enemies/Enemy.h"

EnBaseInstance::EnBaseInstance(const glm::vec3& position) : EnemyInstance(enemyTypes[EnemyTypeBase], position)
{
}
