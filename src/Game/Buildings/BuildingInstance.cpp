#include "Game/Buildings/BuildingInstance.h"

#include "Engine/Physics/PhysicsObjectShared.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Registry.h"
#include "Game/Buildings/BuildingRules.h"
#include "Game/Buildings/InstanceList.h"
#include "Game/Navigation/NavigationInputs.h"
#include "Game/Session/BuildingManager.h"
#include "World/Culling/CullingGrid.h"
#include "World/World.h"

#include <btBulletDynamicsCommon.h>

#include <algorithm>

std::atomic<i32> liveBuildingCount{0};

namespace {

// Castle and towers are what enemies walk to.
bool isGoal(const BuildingInstance* instance)
{
    return instance->typeIndex == BuildingTypeCastle || instance->typeIndex == BuildingTypeCannon ||
           instance->typeIndex == BuildingTypeMortar;
}

} // namespace

BuildingInstance::BuildingInstance(Building* kind_, const glm::ivec3& gridPos_)
    : typeIndex(kind_->typeIndex), gridPos(gridPos_), kind(kind_)
{
    health = kind->maxHealthAt(0);
    liveBuildingCount.fetch_add(1);
}

BuildingInstance::~BuildingInstance()
{
    delete staticBody;
    liveBuildingCount.fetch_sub(1);
}

void BuildingInstance::update()
{
    if (destroyPending) destroy();
}

void BuildingInstance::destroy()
{
    if (!claimDestroy()) return;
    removeFromGame();
}

void BuildingInstance::upgrade()
{
    const u32 current = level.load();
    if (current + 1 >= kind->levelCount()) return;
    level.store(current + 1);
    health.store(kind->maxHealthAt(current + 1));
}

bool BuildingInstance::getHealthBar(const glm::vec3& cameraPosition, glm::vec3& point, f32& fraction)
{
    using namespace BuildingGeometryRules;
    const i32 full = maxHealth();
    const i32 left = health.load();
    if (left >= full) return false;
    point = footprintCentre() + glm::vec3(0.0f, HealthBarHeight, 0.0f);
    const glm::vec3 away = point - cameraPosition;
    if (glm::dot(away, away) > HealthBarMaxDistanceSquared) return false;
    fraction = static_cast<f32>(left) / static_cast<f32>(full);
    return true;
}

void BuildingInstance::updateBounds()
{
    const glm::ivec3& size = kind->config.gridSize;
    // The three sizes as plain numbers, the height in steps as well.
    const f32 radius = static_cast<f32>(std::max({size.x, size.y, size.z})) * 0.5f;
    cullCell = manager->context.cullingGrid->expandCell(footprintCentre(), radius);
}

void BuildingInstance::interpolateSnapshot(u32)
{
}

bool BuildingInstance::applyDamage(i32 damage)
{
    i32 left = health.load();
    for (;;) {
        if (left <= 0) return false; // already at 0: marked by an earlier hit
        const i32 next = std::max(left - damage, 0);
        if (health.compare_exchange_weak(left, next)) {
            if (next > 0) return false;
            destroyPending = true;
            return true;
        }
    }
}

bool BuildingInstance::requestDestroy()
{
    return !destroyPending.exchange(true);
}

bool BuildingInstance::going() const
{
    return destroyed.load() || destroyPending.load();
}

glm::vec3 BuildingInstance::footprintCentre() const
{
    return ::footprintCentre(gridPos, kind->config.gridSize, manager->context.origin);
}

i32 BuildingInstance::maxHealth() const
{
    return kind->maxHealthAt(level.load());
}

bool BuildingInstance::claimDestroy()
{
    return !destroyed.exchange(true);
}

void BuildingInstance::removeFromGame()
{
    using namespace BuildingNavigationRules;
    const BuildingContext& context = manager->context;
    if (staticBody != nullptr) {
        std::lock_guard lock(context.physics->mutex);
        context.physics->world->world->removeRigidBody(staticBody);
    }
    if (physicsObject != nullptr) {
        // The simulation thread takes the body out of the engine world and deletes the
        // object, which lets go of this instance.
        Registry::removePhysicsObject(physicsObject);
        physicsObject = nullptr;
    }

    // The cells, then the goals: a vertex the footprint shares with a castle or tower
    // that still stands stays a goal.
    manager->occupancy.clear(this);
    const glm::ivec3& size = kind->config.gridSize;
    if (context.navigation != nullptr) {
        context.navigation->queueCellValues(gridPos, size, NoGoalValue);
        for (const glm::ivec2 vertex : manager->occupancy.verticesTouching(gridPos, size, isGoal)) {
            context.navigation->queueCellValues({vertex.x, gridPos.y, vertex.y}, glm::ivec3(0), GoalValue);
        }
    }

    std::lock_guard lock(kind->instancesMutex);
    if (InstanceList::erase(kind->instances, this)) {
        releaseMatrixSlots();
    }
}

void BuildingInstance::spawnWithBody(const glm::vec3& bodyCentre)
{
    using namespace BuildingBodyRules;
    const BuildingContext& context = manager->context;
    PhysicsObjectDesc desc;
    desc.mass = 0.0f;
    desc.useGroupMask = 1;
    desc.group = CollisionBuilding;
    desc.mask = BodyMask;
    btTransform start;
    start.setIdentity();
    start.setOrigin(btVector3(bodyCentre.x, bodyCentre.y, bodyCentre.z));
    auto* object = new PhysicsObjectShared<BuildingInstance>(kind->shape, start, desc);
    const std::shared_ptr<BuildingInstance> self = shared_from_this();
    {
        std::lock_guard lock(kind->instancesMutex);
        listIndex = static_cast<i32>(kind->instances.size());
        object->owner = self;
        auto* reference = new PhysicsReference(CollisionBuilding, this, self, 0, nullptr, ContactThreshold);
        // The query world's copy stands still at the same place.
        btRigidBody::btRigidBodyConstructionInfo info(0.0f, nullptr, kind->shape, btVector3(0.0f, 0.0f, 0.0f));
        info.m_startWorldTransform = start;
        staticBody = new btRigidBody(info);
        staticBody->setUserPointer(reference);
        {
            std::lock_guard physicsLock(context.physics->mutex);
            context.physics->world->world->addRigidBody(staticBody, CollisionBuilding, QueryMask);
        }
        object->setReference(reference);
        physicsObject = object;
        kind->instances.push_back(self);
    }
    Registry::addPhysicsObject(object);
}

void BuildingInstance::spawnWithoutBody()
{
    const std::shared_ptr<BuildingInstance> self = shared_from_this();
    std::lock_guard lock(kind->instancesMutex);
    listIndex = static_cast<i32>(kind->instances.size());
    kind->instances.push_back(self);
}
