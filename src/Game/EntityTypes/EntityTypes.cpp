#include "Game/EntityTypes/EntityTypes.h"

#include "Engine/Mesh/Mesh.h"
#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/Buildings/BdCastle.h"
#include "Game/Buildings/BdPortal.h"
#include "Game/Buildings/BdWall.h"
#include "Game/Buildings/BuildingPipelines.h"
#include "Game/Particles/PcSmoke.h"
#include "Game/Projectiles/Projectile.h"
#include "Game/Projectiles/ProjectileRules.h"
#include "Game/Enemies/EnBase.h"
#include "Game/Enemies/EnHeavy.h"
#include "Game/Towers/TwCannon.h"
#include "Game/Towers/TwMortar.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

DsStorageFixed* instanceStorage = nullptr;
Pipeline* shadowInstancePipeline = nullptr;
Pipeline* towerPipeline = nullptr;
Pipeline* towerPreviewPipeline = nullptr;
Pipeline* towerEdgePipeline = nullptr;
Building* buildingTypes[BuildingTypeCount] = {};

namespace {

namespace SharedShaders {
constexpr const char* SceneLayout = "UBD_0+UBD_1+UBD_2+CIS_3 SBD_4";
constexpr const char* ShadowLayout = "UBD_0 SBD_4";
constexpr const char* PreviewLayout = "UBD_0+SBD_1";
} // namespace SharedShaders

// Matrix slots of buildings that went, waiting for the main thread.
std::mutex releasedSlotsMutex;
std::vector<u32> releasedSlots;

void createSharedPipelines()
{
    using namespace SharedShaders;
    BuildingPipelineDesc shadow;
    shadow.vertexShader = "shaders/shadowInstanceVert.spv";
    shadow.fragmentShader = "shaders/shadowFrag.spv";
    shadow.vertexLayout = vertexLayoutPosition;
    shadow.descriptorLayout = ShadowLayout;
    shadow.colorAttachment = false;
    shadow.depthBias = true;
    shadowInstancePipeline = createBuildingPipeline(shadow);

    BuildingPipelineDesc scene;
    scene.vertexShader = "shaders/towerVert.spv";
    scene.fragmentShader = "shaders/towerFrag.spv";
    scene.vertexLayout = vertexLayoutPosNormalColor;
    scene.descriptorLayout = SceneLayout;
    towerPipeline = createBuildingPipeline(scene);

    BuildingPipelineDesc preview;
    preview.vertexShader = "shaders/towerPreviewVert.spv";
    preview.fragmentShader = "shaders/towerPreviewFrag.spv";
    preview.vertexLayout = vertexLayoutPosNormalColor;
    preview.descriptorLayout = PreviewLayout;
    preview.depthWrite = false;
    towerPreviewPipeline = createBuildingPipeline(preview);

    BuildingPipelineDesc edge;
    edge.vertexShader = "shaders/towerEdgeVert.spv";
    edge.fragmentShader = "shaders/towerEdgeFrag.spv";
    edge.vertexLayout = vertexLayoutPosNormalColor;
    edge.descriptorLayout = PreviewLayout;
    edge.colorAttachment = false;
    towerEdgePipeline = createBuildingPipeline(edge);
}

} // namespace

namespace EntityTypes {

void createAll()
{
    instanceStorage = new DsStorageFixed();
    createSharedPipelines();
    // The building kinds; each constructor puts itself at its index.
    new TwCannon();
    new TwMortar();
    new BdCastle();
    new BdWall();
    new BdPortal();
    // The smoke kind, then the cannonball and the bomb, each in its global before its
    // model or mesh is made.
    smokeType = new PcSmoke();
    smokeType->loadModel();
    projectileTypes[ProjectileRules::CannonBallType] = new PtCannonBall();
    projectileTypes[ProjectileRules::CannonBallType]->createMesh();
    projectileTypes[ProjectileRules::BombType] = new PtBomb();
    projectileTypes[ProjectileRules::BombType]->createMesh();
    // Then the enemy kinds, each with its box in the engine's mesh storage (named in
    // the line that ends the start-up when it does not fit).
    const std::pair<Enemy*, const char*> enemyKinds[] = {{new EnBase(), "normal"}, {new EnHeavy(), "heavy"}};
    for (auto [kind, name] : enemyKinds) {
        const std::string holder = std::string("the box of the ") + name + " enemy kind";
        kind->mesh = gameStorageCube(holder, kind->width, kind->height, kind->width);
    }
}

void releaseAll()
{
    for (Building*& kind : buildingTypes) {
        delete kind;
        kind = nullptr;
    }
    delete smokeType;
    smokeType = nullptr;
    for (Projectile*& kind : projectileTypes) {
        delete kind;
        kind = nullptr;
    }
    // The device has taken the enemy kinds' meshes with its other resources.
    for (Enemy*& kind : enemyTypes) {
        delete kind;
        kind = nullptr;
    }
    instanceStorage = nullptr;
    shadowInstancePipeline = nullptr;
    towerPipeline = nullptr;
    towerPreviewPipeline = nullptr;
    towerEdgePipeline = nullptr;
    std::lock_guard lock(releasedSlotsMutex);
    releasedSlots.clear();
}

void releaseInstanceSlot(u32 offset)
{
    std::lock_guard lock(releasedSlotsMutex);
    releasedSlots.push_back(offset);
}

void recycleInstanceSlots()
{
    if (instanceStorage == nullptr) return;
    instanceStorage->returnPendingFrees();
    std::lock_guard lock(releasedSlotsMutex);
    for (u32 offset : releasedSlots) {
        instanceStorage->release(offset);
    }
    releasedSlots.clear();
}

} // namespace EntityTypes
