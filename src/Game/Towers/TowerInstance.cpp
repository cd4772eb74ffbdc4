#include "Game/Towers/TowerInstance.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/Buildings/BuildingRules.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Navigation/NavigationInputs.h"
#include "Game/Session/BuildingManager.h"
#include "Game/Session/GameLogic.h"
#include "Game/Towers/AimRules.h"
#include "Game/Towers/ReachGrid.h"
#include "Game/Towers/TowerKind.h"
#include "Game/Towers/TurretAim.h"
#include "Game/Towers/WorldReachTerrain.h"
#include "World/Culling/BoundingAABB.h"
#include "World/Terrain/TerrainGrid.h"

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>

namespace {

// What the reach map reads: the step grid, the grid's origin and the query world.
ReachTerrain reachTerrain(const BuildingContext& context)
{
    ReachTerrain terrain;
    if (context.terrain != nullptr && !context.terrain->steps.empty()) {
        terrain.steps = context.terrain->steps.data();
        terrain.side = context.terrain->gridSize;
    }
    terrain.origin = context.origin;
    if (context.physics != nullptr) terrain.segmentHitsTerrain = queryWorldSegmentTest(*context.physics);
    return terrain;
}

btTransform rigid(const btQuaternion& rotation, const glm::vec3& at)
{
    return btTransform(rotation, btVector3(at.x, at.y, at.z));
}

} // namespace

TowerInstance::TowerInstance(TowerKind* kind_, const glm::ivec3& gridPos_)
    : BuildingInstance(kind_, gridPos_), towerKind(kind_), base{NoOffset}, turret{NoOffset}, barrel{NoOffset}
{
}

TowerInstance::~TowerInstance()
{
    delete aim;
    delete reach;
}

glm::vec3 TowerInstance::pivot() const
{
    return footprintCentre() + glm::vec3(0.0f, BuildingGeometryRules::TowerPivotHeight, 0.0f);
}

i32 TowerInstance::damageAt(u32 at) const
{
    const std::vector<TowerLevel>& levels = towerKind->kindConfig.levels;
    return levels.empty() ? 0 : levels[std::min<size_t>(at, levels.size() - 1)].damage;
}

i32 TowerInstance::intervalAt(u32 at) const
{
    const std::vector<TowerLevel>& levels = towerKind->kindConfig.levels;
    return levels.empty() ? 1 : levels[std::min<size_t>(at, levels.size() - 1)].shootingInterval;
}

void TowerInstance::spawn()
{
    const BuildingContext& context = manager->context;
    for (TowerPart* part : {&base, &turret, &barrel}) {
        part->offset = NoOffset;
        part->instanceSlot = manager->instanceSlot;
    }
    const glm::vec3 centre = footprintCentre();
    const glm::vec3 at = pivot();
    const AimSettings& settings = towerKind->kindConfig.aimSettings;
    reach = new ReachGrid(glm::vec2(centre.x - context.origin.x, centre.z - context.origin.z), settings.radius,
                          AimRules::Gravity, reachTerrain(context));
    aim = new TurretAim(*reach, context.enemies, Engine::random);
    aim->settings = settings;
    aim->shotInterval = intervalAt(0);
    for (u32 slot = 0; slot < 3; slot++) {
        storeSnapshot(slot);
    }
    // The matrices of the start pose; the main thread writes them into the storage.
    baseMatrix = glm::translate(glm::mat4(1.0f), at);
    turretMatrix = baseMatrix;
    barrelMatrix = baseMatrix;
    // The box stands with its centre on the ground.
    spawnWithBody(centre);
    if (context.navigation != nullptr) {
        context.navigation->queueCellValues(gridPos, kind->config.gridSize, BuildingNavigationRules::GoalValue);
    }
}

void TowerInstance::update()
{
    if (destroyPending) {
        destroy();
        return;
    }
    if (aim == nullptr) return;
    const glm::vec3 muzzle = pivot();
    const AimSettings& settings = towerKind->kindConfig.aimSettings;
    if (reach->dirty) reach->rebuild(muzzle, settings.projSpeed, settings.shootFlat);
    aim->update(muzzle);
    glm::vec3 direction;
    if (aim->readyToFire(direction)) {
        fire(muzzle, direction * settings.projSpeed, damageAt(level.load()));
    }
}

void TowerInstance::destroy()
{
    if (!claimDestroy()) return;
    // A held enemy would stay alive (and the wave unfinished) for as long as the tower.
    if (aim != nullptr) aim->releaseTarget();
    removeFromGame();
}

void TowerInstance::upgrade()
{
    BuildingInstance::upgrade();
    if (aim != nullptr) aim->shotInterval = intervalAt(level.load());
}

std::vector<RenderObject> TowerInstance::getRenderObjects()
{
    return {{towerKind->baseMesh, baseMatrix}, {towerKind->turretMesh, turretMatrix}, {towerKind->barrelMesh, barrelMatrix}};
}

void TowerInstance::storeSnapshot(u32 slot)
{
    const glm::vec3 at = pivot();
    const btQuaternion turn(btVector3(0.0f, 1.0f, 0.0f), -aim->yaw);
    const btQuaternion tilt(btVector3(0.0f, 0.0f, 1.0f), aim->pitch);
    TowerSnapshot& snapshot = snapshots[slot % 3];
    snapshot.turret = rigid(turn, at);
    snapshot.barrel = rigid(turn * tilt, at);
}

void TowerInstance::interpolateSnapshot(u32 slot)
{
    const u32 newer = slot % 3;
    const u32 older = (newer + 2) % 3;
    const f32 alpha = manager->context.gameLogic != nullptr ? manager->context.gameLogic->interpolationAlpha() : 1.0f;
    PhysicsObject::interpolate(snapshots[older].turret, snapshots[newer].turret, alpha, turretMatrix);
    PhysicsObject::interpolate(snapshots[older].barrel, snapshots[newer].barrel, alpha, barrelMatrix);
    // The instance slot's storage is instanceStorage: only this thread writes it.
    DataStorage* storage = base.instanceSlot->storage;
    if (base.offset == NoOffset) {
        base.offset = storage->write(NoOffset, &baseMatrix, sizeof(baseMatrix), false);
    }
    turret.offset = storage->write(turret.offset, &turretMatrix, sizeof(turretMatrix), false);
    barrel.offset = storage->write(barrel.offset, &barrelMatrix, sizeof(barrelMatrix), false);
}

void TowerInstance::recordShadowDraw(CommandBuffer& cmd, u32 firstSet, u32)
{
    recordDrawImpl(cmd, firstSet);
}

void TowerInstance::recordDraw(CommandBuffer& cmd, u32 firstSet, u32)
{
    recordDrawImpl(cmd, firstSet);
}

void TowerInstance::recordDrawImpl(CommandBuffer& cmd, u32 firstSet)
{
    if (skipNextDraw) {
        skipNextDraw = false;
        return;
    }
    if (cullCell == nullptr || !cullCell->visible) return;
    const std::pair<const TowerPart*, Mesh*> parts[] = {
        {&base, towerKind->baseMesh}, {&turret, towerKind->turretMesh}, {&barrel, towerKind->barrelMesh}};
    for (const auto& [part, mesh] : parts) {
        // Not yet written by the main thread's blend: nothing to bind.
        if (part->offset == NoOffset || mesh == nullptr) continue;
        part->instanceSlot->offset = part->offset;
        cmd.addDataSet(manager->instanceSet);
        cmd.bindDataSets(firstSet);
        cmd.drawMesh(mesh, 1);
    }
}

void TowerInstance::releaseMatrixSlots()
{
    for (TowerPart* part : {&base, &turret, &barrel}) {
        if (part->offset != NoOffset) {
            EntityTypes::releaseInstanceSlot(part->offset);
            part->offset = NoOffset;
        }
    }
}
