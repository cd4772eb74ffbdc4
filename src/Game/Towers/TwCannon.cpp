#include "Game/Towers/TwCannon.h"

#include "Game/Towers/TwCannonInstance.h"

TwCannon::TwCannon() : TowerKind(BuildingTypeCannon, ConfigPath, ModelPath)
{
}

std::shared_ptr<BuildingInstance> TwCannon::createInstance(const glm::ivec3& gridPos, f32)
{
    return std::make_shared<TwCannonInstance>(this, gridPos);
}
