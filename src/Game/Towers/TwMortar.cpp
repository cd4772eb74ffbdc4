#include "Game/Towers/TwMortar.h"

TwMortar::TwMortar() : TowerKind(BuildingTypeMortar, ConfigPath, ModelPath)
{
}

std::shared_ptr<BuildingInstance> TwMortar::createInstance(const glm::ivec3&, f32)
{
    return nullptr;
}
