#include "Game/Enemies/EnHeavy.h"

#include "Game/Enemies/EnHeavyInstance.h"

EnHeavy::EnHeavy() : Enemy(EnemyKinds::Heavy)
{
}

std::unique_ptr<EnemyInstance> EnHeavy::createInstance(const glm::vec3& position)
{
    return std::make_unique<EnHeavyInstance>(this, position);
}
