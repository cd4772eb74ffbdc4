#include "Game/Enemies/EnemyInstance.h"

#include "Engine/Camera/Random.h"
#include "Engine/Physics/CollisionType.h"
#include "Engine/Physics/PhysicsObjectShared.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Engine/Physics/Registry.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/Buildings/InstanceList.h"
#include "Game/Enemies/Enemy.h"
#include "Game/Enemies/EnemyManager.h"
#include "Game/Session/GameSession.h"
#include "Game/Session/SessionRules.h"
#include "World/Culling/BoundingAABB.h"
#include "World/Culling/CullingGrid.h"

#include <btBulletDynamicsCommon.h>

#include <algorithm>

std::atomic<i32> aliveEnemyCount{0};

namespace {

glm::vec3 toGlm(const btVector3& v)
{
    return {v.x(), v.y(), v.z()};
}

} // namespace

EnemyInstance::EnemyInstance(Enemy* kind_, const glm::vec3& position_)
    : typeIndex(kind_->typeIndex), position(position_), kind(kind_)
{
    health = kind->maxHealth;
    attackCooldown = EnemyAttackRules::StartCooldown;
    aliveEnemyCount.fetch_add(1);
}

EnemyInstance::~EnemyInstance()
{
    aliveEnemyCount.fetch_sub(1);
}

void EnemyInstance::spawn(const std::shared_ptr<EnemyInstance>& self)
{
    const EnemyKindRules& rules = kind->rules;
    // 1: a fixed sideways bias, z first.
    Random* random = manager->context.random;
    if (random != nullptr) {
        const f32 z = static_cast<f32>(random->uniform(-1.0, 1.0));
        const f32 x = static_cast<f32>(random->uniform(-1.0, 1.0));
        lateralOffset = glm::vec2(x, z) * rules.lateralOffsetScale;
    }

    // 2 to 4: an upright capsule that never sleeps, steered before every step and
    // reporting contacts with buildings.
    using namespace EnemyBodyRules;
    PhysicsObjectDesc desc;
    desc.mass = rules.mass;
    desc.rollingFriction = RollingFriction;
    desc.spinningFriction = SpinningFriction;
    desc.friction = rules.friction;
    desc.setAngularFactor = 1;
    desc.angularFactor = glm::vec3(0.0f, 1.0f, 0.0f);
    desc.setAngularDamping = 1;
    desc.angularDamping = AngularDamping;
    desc.useGroupMask = 1;
    desc.group = CollisionEnemy;
    desc.mask = Mask;
    desc.noSleeping = 1;
    const glm::vec3 start = position.load();
    btTransform transform;
    transform.setIdentity();
    transform.setOrigin(btVector3(start.x, start.y, start.z));
    auto* object = new PhysicsObjectShared<EnemyInstance>(kind->shape, transform,
                                                          desc);
    object->setPreStepCallback([this, object] { steer(*object); });
    object->setReference(new PhysicsReference(
        CollisionEnemy, this, self, CollisionBuilding, [this](PhysicsReference* other) { hit(other); },
        ContactThreshold));

    // 5: into the kind's list, the physics object keeping the enemy alive.
    {
        std::lock_guard lock(kind->mutex);
        listIndex = static_cast<i32>(kind->instances.size());
        object->owner = self;
        physicsObject = object;
        kind->instances.push_back(self);
    }
    // 6: the simulation thread adds the body at its next pass.
    Registry::addPhysicsObject(object);
}

void EnemyInstance::update()
{
    const f32 left = stun.load();
    if (left > 0.0f) stun.store(std::max(left - kind->rules.stunDecay, 0.0f));
    updateBucket();
    if (outOfWorld.load() || killPending.load()) destroy();
}

void EnemyInstance::destroy()
{
    if (destroyed.exchange(true)) return;
    // Whoever called, the enemy stays alive until this is done.
    const std::shared_ptr<EnemyInstance> keep = weak_from_this().lock();
    GameSession* session = manager != nullptr ? manager->context.session : nullptr;
    if (session != nullptr && manager != nullptr && !manager->tearingDown.load()) {
        session->money->fetch_add(killReward(typeIndex));
    }
    // Out of every list first, then the body goes to the simulation thread, which
    // deletes it and with it the last owner.
    if (manager != nullptr) manager->buckets.remove(*this);
    {
        std::lock_guard lock(kind->mutex);
        InstanceList::erase(kind->instances, this);
    }
    if (physicsObject != nullptr) {
        Registry::removePhysicsObject(physicsObject);
    }
}

void EnemyInstance::storeSnapshot(u32)
{
}

bool EnemyInstance::applyDamage(i32 damage)
{
    i32 left = health.load();
    for (;;) {
        if (left <= 0) return false; // killed by an earlier hit
        const i32 next = std::max(left - std::max(damage, 0), 0);
        if (health.compare_exchange_weak(left, next)) {
            if (next > 0) return false;
            killPending = true;
            return true;
        }
    }
}

void EnemyInstance::addForce(const glm::vec3& force)
{
    if (isFinite(force)) pendingForce.add(force);
}

bool EnemyInstance::alive() const
{
    return !destroyed.load() && health.load() > 0;
}

void EnemyInstance::updateBucket()
{
    if (manager == nullptr) return;
    const glm::vec3 at = position.load();
    const i32 index = manager->buckets.indexAt(at.x, at.z);
    if (index == bucketIndex || index < 0) return;
    // The list's entry is this enemy's owner; the bucket keeps a copy of it.
    const size_t slot = static_cast<size_t>(listIndex);
    if (slot >= kind->instances.size() || kind->instances[slot].get() != this) return;
    manager->buckets.move(kind->instances[slot], index);
}

glm::mat4 EnemyInstance::blendedTransform(Simulation::RenderState view) const
{
    glm::mat4 out(1.0f);
    if (physicsObject != nullptr) {
        const u32 index = view.stateIndex & 1u;
        PhysicsObject::interpolate(physicsObject->previous[index], physicsObject->current[index], view.alpha, out);
    } else {
        out[3] = glm::vec4(position.load(), 1.0f);
    }
    return out;
}

void EnemyInstance::updateBounds(CullingGrid& grid, Simulation::RenderState view)
{
    const glm::vec3 centre(blendedTransform(view)[3]);
    cullingCell = grid.expandCell(centre, std::max(kind->width, kind->height) * 0.5f);
}

bool EnemyInstance::writeMatrix(glm::mat4& out, Simulation::RenderState view) const
{
    if (cullingCell == nullptr || !cullingCell->visible) return false;
    out = blendedTransform(view);
    return true;
}

bool EnemyInstance::getHealthBar(const glm::vec3& cameraPosition, Simulation::RenderState view, glm::vec3& point,
                                 f32& fraction) const
{
    using namespace EnemyDrawRules;
    const i32 left = health.load();
    if (left >= kind->maxHealth) return false;
    const glm::vec3 away = position.load() - cameraPosition;
    if (!(glm::dot(away, away) <= HealthBarMaxDistanceSquared)) return false;
    point = glm::vec3(blendedTransform(view)[3]) + glm::vec3(0.0f, HealthBarRise, 0.0f);
    fraction = static_cast<f32>(left) / static_cast<f32>(kind->maxHealth);
    return true;
}

void EnemyInstance::steer(PhysicsObject& object)
{
    const EnemyKindRules& rules = kind->rules;
    btRigidBody* body = object.body;
    const glm::vec3 at = toGlm(body->getWorldTransform().getOrigin());
    const glm::vec3 moving = toGlm(body->getLinearVelocity());
    position.store(at);
    velocity.store(moving);

    // Blasts push once, at the next step.
    const glm::vec3 push = pendingForce.take();
    if (push != glm::vec3(0.0f)) body->applyCentralForce(btVector3(push.x, push.y, push.z));

    if (attackCooldown > 0) attackCooldown--;
    if (isKnocked(rules, moving)) attackCooldown = EnemyAttackRules::KnockedCooldown;

    const SteeringCell cell = locateEnemy(at, rules, manager->context.ground);
    if (cell.outOfWorld) {
        outOfWorld = true;
        return;
    }
    if (cell.airborne) return;
    const glm::vec2 direction = manager->fieldWay(cell.local);
    const bool stunned = stun.load() > 0.0f;
    glm::vec3 force = steeringForce(rules, moving, body->getInvMass(), stunned, direction, lateralOffset);
    // The last resort of an enemy stuck below a climb: its weight is carried.
    const SteeringGround& ground = manager->context.ground;
    if (!stunned && watchClimb(climb, manager->fieldDistance(cell.xi, cell.zi), manager->fieldResets(),
                               steepAhead(ground, cell.local, direction))) {
        const f32 mass = body->getInvMass() != 0.0f ? 1.0f / body->getInvMass() : 0.0f;
        force -= toGlm(body->getGravity()) * mass;
    }
    if (isFinite(force)) body->applyCentralForce(btVector3(force.x, force.y, force.z));
}

void EnemyInstance::hit(PhysicsReference* other)
{
    // Touching a building: fighting, not lost on the way.
    noteFight(climb);
    if (attackCooldown > 0) return;
    attackCooldown = EnemyAttackRules::HitCooldown;
    // The building's body holds it alive while its contacts are reported; the hit that
    // brings it to 0 marks it, and the game-logic thread destroys it.
    auto* building = static_cast<BuildingInstance*>(other->owner);
    if (building != nullptr) building->applyDamage(kind->rules.contactDamage);
}
