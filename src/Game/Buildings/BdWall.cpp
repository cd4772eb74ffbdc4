#include "Game/Buildings/BdWall.h"

#include "Engine/Mesh/Mesh.h"
#include "Engine/Mesh/ModelLoader.h"
#include "Game/Buildings/BdWallInstance.h"
#include "Game/Buildings/BuildingRules.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "World/World.h"

#include <btBulletCollisionCommon.h>
#include <glm/gtc/matrix_transform.hpp>
#include <nlohmann/json.hpp>

BdWall::BdWall() : Building(BuildingTypeWall)
{
    buildingTypes[typeIndex] = this;
    loadConfig();
    loadModel();
}

BdWall::BdWall(const WallConfig& wall) : Building(BuildingTypeWall), kindConfig(wall)
{
    config.name = wall.name;
    config.gridSize = wall.gridSize;
    config.levels = wall.levels;
    logoIndex = wall.logoIndex;
}

void BdWall::loadConfig()
{
    const nlohmann::json document = loadBuildingFile(ConfigPath);
    config = loadBuildingRecord<BuildingConfig>(ConfigPath, document);
    kindConfig = loadBuildingRecord<WallConfig>(ConfigPath, document);
    logoIndex = kindConfig.logoIndex;
}

void BdWall::loadModel()
{
    const glm::ivec3 size = config.gridSize;
    shape = new btBoxShape(btVector3(static_cast<f32>(size.x) * 0.5f,
                                     static_cast<f32>(size.y) * BuildingGeometryRules::StepHeight * 0.5f,
                                     static_cast<f32>(size.z) * 0.5f));
    model = ModelLoader::requireFirstMesh(ModelLoader::load(ModelPath, vertexLayoutPosNormalColor), ModelPath);
}

std::vector<RenderObject> BdWall::getPreviewRenderObjects(const glm::ivec3& gridPos)
{
    const glm::vec3 origin = world != nullptr ? world->origin : glm::vec3(0.0f);
    return {{model, glm::translate(glm::mat4(1.0f), footprintCentre(gridPos, config.gridSize, origin))}};
}

std::shared_ptr<BuildingInstance> BdWall::createInstance(const glm::ivec3& gridPos, f32)
{
    return std::make_shared<BdWallInstance>(this, gridPos, model);
}
