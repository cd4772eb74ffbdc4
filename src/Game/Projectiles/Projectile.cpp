#include "Game/Projectiles/Projectile.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Physics/PhysicsObjectShared.h"
#include "Engine/Physics/Registry.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/Buildings/InstanceList.h"
#include "Game/Projectiles/ProjectileRenderer.h"
#include "Game/Projectiles/ProjectileRules.h"
#include "World/Culling/CullingGrid.h"

#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <cstring>
#include <string>

std::atomic<i32> liveProjectileCount{0};
Projectile* projectileTypes[2] = {};

ProjectileInstance::ProjectileInstance(Projectile* kind_) : typeIndex(kind_->typeIndex), kind(kind_)
{
    liveProjectileCount.fetch_add(1);
}

ProjectileInstance::~ProjectileInstance()
{
    liveProjectileCount.fetch_sub(1);
}

void ProjectileInstance::launch(const glm::vec3& position, const glm::vec3& velocity, u32 contactMask,
                                PhysicsReference::Callback onContact, std::function<void()> beforeStep)
{
    using namespace ProjectileRules;
    PhysicsObjectDesc desc;
    desc.mass = Mass;
    desc.rollingFriction = RollingFriction;
    desc.spinningFriction = SpinningFriction;
    desc.ccdMotionThreshold = kind->radius;
    desc.ccdSweptSphereRadius = kind->radius;
    desc.linearVelocity = velocity;
    desc.useGroupMask = 1;
    desc.group = Group;
    desc.mask = Mask;
    btTransform start;
    start.setIdentity();
    start.setOrigin(btVector3(position.x, position.y, position.z));
    auto* object = new PhysicsObjectShared<ProjectileInstance>(kind->shape, start, desc);
    object->setReference(new PhysicsReference(Group, this, nullptr, contactMask, std::move(onContact), ContactThreshold));
    if (beforeStep) object->setPreStepCallback(std::move(beforeStep));
    physicsObject = object;
    {
        std::lock_guard lock(kind->mutex);
        listIndex = static_cast<i32>(kind->instances.size());
        std::shared_ptr<ProjectileInstance> self = shared_from_this();
        object->owner = self;
        kind->instances.push_back(std::move(self));
    }
    Registry::addPhysicsObject(object);
}

void ProjectileInstance::remove()
{
    if (removed.exchange(true)) return;
    {
        std::lock_guard lock(kind->mutex);
        InstanceList::erase(kind->instances, this);
    }
    if (physicsObject != nullptr) Registry::removePhysicsObject(physicsObject);
}

void ProjectileInstance::updateBounds(CullingGrid& grid, const Simulation::RenderState& render)
{
    const btVector3 centre = physicsObject->interpolatedTransform(render.stateIndex, render.alpha).getOrigin();
    cullingCell = grid.expandCell(glm::vec3(centre.x(), centre.y(), centre.z()), kind->radius);
}

Projectile::Projectile(u32 typeIndex_, f32 radius_, const char* name_)
    : typeIndex(typeIndex_), radius(radius_), name(name_)
{
    shape = new btSphereShape(radius);
}

Projectile::~Projectile()
{
    delete shape;
}

void Projectile::createMesh()
{
    mesh = gameStorageSphere(std::string("the ") + name + "'s sphere", radius);
}

u32 Projectile::writeMatrices(const Simulation::RenderState& render, u8* out, u32 capacity)
{
    u32 drawn = 0;
    for (const std::shared_ptr<ProjectileInstance>& instance : instances) {
        if (drawn >= capacity) break;
        if (instance->cullingCell == nullptr || !instance->cullingCell->visible) continue;
        const PhysicsObject* object = instance->physicsObject;
        glm::mat4 model;
        PhysicsObject::interpolate(object->previous[render.stateIndex], object->current[render.stateIndex],
                                   render.alpha, model);
        std::memcpy(out + static_cast<size_t>(drawn) * sizeof(model), &model, sizeof(model));
        drawn++;
    }
    return drawn;
}

void Projectile::drawAll(CommandBuffer& cmd, u32, ProjectileRenderer& renderer)
{
    std::lock_guard lock(mutex);
    if (instances.empty() || mesh == nullptr) return;
    // Never more than the renderer's slot holds.
    StorageSlot* slot = renderer.instanceSlot;
    const u32 capacity = static_cast<u32>(std::min<size_t>(instances.size(), slot->size / ProjectileRules::MatrixBytes));
    void* memory = nullptr;
    slot->offset = slot->storage->allocate(slot->offset, &memory, capacity * ProjectileRules::MatrixBytes);
    const u32 drawn = writeMatrices(Simulation::renderState(), static_cast<u8*>(memory), capacity);
    if (drawn == 0) return;
    cmd.addDataSet(renderer.instanceSet);
    cmd.bindDataSets(1);
    cmd.drawMesh(mesh, drawn);
}

void Projectile::updateAllBounds(CullingGrid& grid)
{
    const Simulation::RenderState render = Simulation::renderState();
    std::lock_guard lock(mutex);
    for (size_t i = instances.size(); i-- > 0;) {
        instances[i]->updateBounds(grid, render);
    }
}

void Projectile::tickAll()
{
    // Only this thread changes the list: it walks it without the mutex, holding each
    // instance while it runs, as a tick may take it out.
    for (size_t i = instances.size(); i-- > 0;) {
        if (i >= instances.size()) continue;
        const std::shared_ptr<ProjectileInstance> instance = instances[i];
        instance->tick();
    }
}

void Projectile::removeAll()
{
    for (size_t i = instances.size(); i-- > 0;) {
        if (i >= instances.size()) continue;
        const std::shared_ptr<ProjectileInstance> instance = instances[i];
        instance->remove();
    }
}

size_t Projectile::count()
{
    std::lock_guard lock(mutex);
    return instances.size();
}

PtCannonBall::PtCannonBall()
    : Projectile(ProjectileRules::CannonBallType, ProjectileRules::CannonBallRadius, "cannonball")
{
}

PtBomb::PtBomb() : Projectile(ProjectileRules::BombType, ProjectileRules::BombRadius, "bomb")
{
}
