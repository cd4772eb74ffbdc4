#include "Game/Enemies/EnBase.h"

#include "Game/Enemies/EnBaseInstance.h"

EnBase::EnBase() : Enemy(EnemyKinds::Normal)
{
}

std::unique_ptr<EnemyInstance> EnBase::createInstance(const glm::vec3& position)
{
    return std::make_unique<EnBaseInstance>(this, position);
}
