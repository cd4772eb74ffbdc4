#include "Game/Enemies/Enemy.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/Enemies/EnemyInstance.h"
#include "Game/Enemies/EnemyManager.h"
#include "Game/Ui/HealthBar.h"

#include <btBulletCollisionCommon.h>
#include <imgui.h>

#include <algorithm>

Enemy* enemyTypes[EnemyTypeCount] = {};

Enemy::Enemy(const EnemyKindRules& rules_) : rules(rules_)
{
    typeIndex = rules.typeIndex;
    enemyTypes[typeIndex] = this;
    width = rules.width;
    height = rules.height;
    shape = new btCapsuleShape(width * 0.5f, height - width);
    logoIndex = {rules.logoX, rules.logoY};
    maxHealth = rules.maxHealth;
}

Enemy::~Enemy()
{
    if (enemyTypes[typeIndex] == this) enemyTypes[typeIndex] = nullptr;
    delete shape;
}

u32 Enemy::writeMatrices(glm::mat4* out, u32 capacity, Simulation::RenderState view)
{
    u32 count = 0;
    for (const std::shared_ptr<EnemyInstance>& instance : instances) {
        if (count == capacity) break;
        if (instance->writeMatrix(out[count], view)) count++;
    }
    return count;
}

void Enemy::drawAll(CommandBuffer& cmd, EnemyManager& manager, Simulation::RenderState view)
{
    using namespace EnemyDrawRules;
    std::lock_guard lock(mutex);
    if (instances.empty() || mesh == nullptr) return;
    // More enemies than the slot holds (long games past the last wave) draw the first
    // MaxDrawnEnemies of them.
    StorageSlot* slot = manager.instanceSlot;
    const u32 capacity = slot->size / MatrixBytes;
    const u32 reserved = std::min(static_cast<u32>(instances.size()), capacity);
    void* mapped = nullptr;
    slot->offset = slot->storage->allocate(slot->offset, &mapped, reserved * MatrixBytes);
    // The shader may read the slot's whole range from its offset: a ring that is nearly
    // full would leave it past the buffer's end, so nothing is drawn then.
    if (static_cast<u64>(slot->offset) + slot->size > slot->storage->totalSize()) return;
    const u32 drawn = writeMatrices(static_cast<glm::mat4*>(mapped), reserved, view);
    if (drawn == 0) return;
    cmd.addDataSet(manager.instanceSet);
    cmd.bindDataSets(1);
    cmd.drawMesh(mesh, drawn);
}

void Enemy::drawHealthBars(const Camera& camera, glm::ivec2 viewport, Simulation::RenderState view)
{
    ImDrawList* list = ImGui::GetBackgroundDrawList();
    const ImVec4 orange(1.0f, 0.4f, 0.0f, 1.0f);
    std::lock_guard lock(mutex);
    for (const std::shared_ptr<EnemyInstance>& instance : instances) {
        glm::vec3 point;
        f32 fraction = 0.0f;
        if (instance->getHealthBar(camera.position, view, point, fraction)) {
            drawHealthBar(list, camera.worldToScreen(point, viewport), fraction, orange);
        }
    }
}

void Enemy::updateAllBounds(CullingGrid& grid, Simulation::RenderState view)
{
    std::lock_guard lock(mutex);
    for (size_t i = instances.size(); i-- > 0;) {
        instances[i]->updateBounds(grid, view);
    }
}
