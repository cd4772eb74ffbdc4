#include "Game/Towers/TowerKind.h"

#include "Engine/Mesh/Mesh.h"
#include "Engine/Mesh/ModelLoader.h"
#include "Game/Buildings/BuildingRules.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "World/World.h"

#include <btBulletCollisionCommon.h>
#include <glm/gtc/matrix_transform.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

namespace {

// One tick's length in single precision, inverted: 59.999996, not 60.
const f32 TicksPerSecond = 1.0f / (1.0f / 60.0f);

} // namespace

std::string shootingSpeedLine(i32 interval)
{
    const f32 perSecond = TicksPerSecond / static_cast<f32>(interval);
    char line[64];
    std::snprintf(line, sizeof(line), "Shooting speed: %.2f/sec", static_cast<double>(perSecond));
    return line;
}

TowerKind::TowerKind(u32 typeIndex_, const char* configPath_, const char* modelPath_)
    : Building(typeIndex_), configPath(configPath_), modelPath(modelPath_)
{
    buildingTypes[typeIndex] = this;
    loadConfig();
    loadModel();
}

TowerKind::TowerKind(u32 typeIndex_, const TowerConfig& tower)
    : Building(typeIndex_), kindConfig(tower), configPath(nullptr), modelPath(nullptr)
{
    config.name = tower.name;
    config.gridSize = tower.gridSize;
    for (const TowerLevel& level : tower.levels) {
        config.levels.push_back({level.cost, level.maxHealth});
    }
    logoIndex = tower.logoIndex;
    shape = new btBoxShape(btVector3(static_cast<f32>(tower.gridSize.x) * 0.5f, BuildingGeometryRules::TowerHalfHeight,
                                     static_cast<f32>(tower.gridSize.z) * 0.5f));
}

void TowerKind::loadConfig()
{
    const nlohmann::json document = loadBuildingFile(configPath);
    config = loadBuildingRecord<BuildingConfig>(configPath, document);
    kindConfig = loadBuildingRecord<TowerConfig>(configPath, document);
    logoIndex = kindConfig.logoIndex;
}

void TowerKind::loadModel()
{
    const glm::ivec3 size = config.gridSize;
    shape = new btBoxShape(btVector3(static_cast<f32>(size.x) * 0.5f, BuildingGeometryRules::TowerHalfHeight,
                                     static_cast<f32>(size.z) * 0.5f));
    const std::vector<Mesh*> meshes = ModelLoader::load(modelPath, vertexLayoutPosNormalColor);
    baseMesh = ModelLoader::requireMesh(meshes, "Base", modelPath);
    turretMesh = ModelLoader::requireMesh(meshes, "Turret", modelPath);
    barrelMesh = ModelLoader::requireMesh(meshes, "Cannon", modelPath);
}

std::vector<std::string> TowerKind::infoLines(i32 level) const
{
    std::vector<std::string> lines = Building::infoLines(level);
    const size_t index = std::min<size_t>(static_cast<size_t>(std::max(level, 0)), kindConfig.levels.size() - 1);
    const TowerLevel& tower = kindConfig.levels[index];
    lines.push_back("Damage: " + std::to_string(tower.damage));
    lines.push_back(shootingSpeedLine(tower.shootingInterval));
    return lines;
}

std::vector<RenderObject> TowerKind::getPreviewRenderObjects(const glm::ivec3& gridPos)
{
    const glm::vec3 origin = world != nullptr ? world->origin : glm::vec3(0.0f);
    const glm::vec3 pivot = footprintCentre(gridPos, config.gridSize, origin) +
                            glm::vec3(0.0f, BuildingGeometryRules::TowerPivotHeight, 0.0f);
    const glm::mat4 at = glm::translate(glm::mat4(1.0f), pivot);
    return {{baseMesh, at}, {turretMesh, at}, {barrelMesh, at}};
}
