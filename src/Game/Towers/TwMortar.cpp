#include "Game/Towers/TwMortar.h"

#include "Game/Towers/TwMortarInstance.h"

TwMortar::TwMortar() : TowerKind(BuildingTypeMortar, ConfigPath, ModelPath)
{
}

std::shared_ptr<BuildingInstance> TwMortar::createInstance(const glm::ivec3& gridPos, f32)
{
    return std::make_shared<TwMortarInstance>(this, gridPos);
}
