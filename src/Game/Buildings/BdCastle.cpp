#include "Game/Buildings/BdCastle.h"

#include "Engine/Mesh/Mesh.h"
#include "Engine/Mesh/ModelLoader.h"
#include "Game/Buildings/BdCastleInstance.h"
#include "Game/Buildings/BuildingRules.h"
#include "Game/EntityTypes/EntityTypes.h"

#include <btBulletCollisionCommon.h>
#include <nlohmann/json.hpp>

BdCastle::BdCastle() : Building(BuildingTypeCastle)
{
    buildingTypes[typeIndex] = this;
    inToolBar = false;
    loadConfig();
    loadModel();
}

void BdCastle::loadConfig()
{
    config = loadBuildingRecord<BuildingConfig>(ConfigPath, loadBuildingFile(ConfigPath));
}

void BdCastle::loadModel()
{
    const glm::ivec3 size = config.gridSize;
    shape = new btBoxShape(btVector3(static_cast<f32>(size.x) * 0.5f,
                                     static_cast<f32>(size.y) * BuildingGeometryRules::StepHeight,
                                     static_cast<f32>(size.z) * 0.5f));
    model = ModelLoader::requireFirstMesh(ModelLoader::load(ModelPath, vertexLayoutPosNormalColor), ModelPath);
}

std::shared_ptr<BuildingInstance> BdCastle::createInstance(const glm::ivec3& gridPos, f32)
{
    return std::make_shared<BdCastleInstance>(this, gridPos, model);
}
