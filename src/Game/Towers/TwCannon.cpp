#include "Game/Towers/TwCannon.h"

TwCannon::TwCannon() : TowerKind(BuildingTypeCannon, ConfigPath, ModelPath)
{
}

std::shared_ptr<BuildingInstance> TwCannon::createInstance(const glm::ivec3&, f32)
{
    return nullptr;
}
