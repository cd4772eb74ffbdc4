#include "Game/Particles/PcSmoke.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Mesh/ModelLoader.h"
#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/Particles/ParticleRenderer.h"
#include "Game/Particles/ParticleRules.h"
#include "World/Culling/CullingGrid.h"

#include <algorithm>
#include <cmath>
#include <cstring>

PcSmoke* smokeType = nullptr;

namespace {

// `angle` about `axis`; no turn at all about an axis of (almost) no length.
btQuaternion turnAbout(const glm::vec3& axis, f32 angle)
{
    const f32 length = glm::length(axis);
    if (!(length >= ParticleRules::MinAxisLength) || !std::isfinite(length)) {
        return btQuaternion::getIdentity();
    }
    const f32 s = std::sin(angle * 0.5f) / length;
    return btQuaternion(axis.x * s, axis.y * s, axis.z * s, std::cos(angle * 0.5f));
}

} // namespace

PcSmokeInstance::PcSmokeInstance(PcSmoke* kind_, const SmokePuff& puff)
    : ParticleInstance(kind_),
      drag(puff.drag),
      growth(puff.growth),
      fade(puff.fade),
      spinDamping(puff.spinDamping),
      axis(puff.axis),
      position(puff.position),
      velocity(puff.velocity),
      spin(puff.spin),
      opacity(puff.opacity),
      size(puff.size),
      warmUp(ParticleRules::WarmUpTicks),
      smokeKind(kind_)
{
    for (u32 slot = 0; slot < 3; slot++) {
        storeSnapshot(slot);
    }
}

std::shared_ptr<PcSmokeInstance> PcSmokeInstance::create(const SmokePuff& puff, PcSmoke* kind)
{
    PcSmoke* owner = kind != nullptr ? kind : smokeType;
    auto instance = std::make_shared<PcSmokeInstance>(owner, puff);
    owner->add(instance);
    return instance;
}

void PcSmokeInstance::tick()
{
    position += velocity;
    velocity *= drag;
    size += growth;
    opacity = std::max(opacity + (5.0f * opacity + 1.0f) * fade / 5.0f, 0.0f);
    angle += spin;
    spin *= spinDamping;
    // Also a puff whose numbers went wrong (NaN) fades out here.
    if (!(opacity > 0.0f)) remove();
}

void PcSmokeInstance::storeSnapshot(u32 slot)
{
    SmokeSnapshot& snapshot = snapshots[slot];
    snapshot.transform.setOrigin(btVector3(position.x, position.y, position.z));
    snapshot.transform.setRotation(turnAbout(axis, angle));
    snapshot.size = size;
    snapshot.opacityOverSize = size >= ParticleRules::MinSize ? opacity / size : 0.0f;
    const i32 left = warmUp.load(std::memory_order_relaxed);
    if (left > 0) warmUp.store(left - 1, std::memory_order_release);
}

void PcSmokeInstance::updateBounds(CullingGrid& grid, u32 frame)
{
    const SmokeSnapshot& snapshot = snapshots[frame % 3];
    const btVector3& origin = snapshot.transform.getOrigin();
    cullingCell = grid.expandCell(glm::vec3(origin.x(), origin.y(), origin.z()), std::max(snapshot.size, 0.0f));
}

SmokeRecord PcSmokeInstance::record(const SnapshotBlend& blend) const
{
    const SmokeSnapshot& older = snapshots[blend.older()];
    const SmokeSnapshot& newer = snapshots[blend.newer % 3];
    const f32 alpha = blend.alpha;
    SmokeRecord out;
    PhysicsObject::interpolate(older.transform, newer.transform, alpha, out.model);
    out.opacityOverSize = alpha * newer.opacityOverSize + (1.0f - alpha) * older.opacityOverSize;
    out.size = alpha * newer.size + (1.0f - alpha) * older.size;
    return out;
}

PcSmoke::PcSmoke() : Particle(0)
{
}

void PcSmoke::loadModel()
{
    const std::vector<Mesh*> meshes = ModelLoader::load(ModelPath, vertexLayoutPosNormalColor);
    mesh = ModelLoader::requireFirstMesh(meshes, ModelPath);
}

u32 PcSmoke::writeRecords(const SnapshotBlend& blend, u8* out, u32 capacity)
{
    u32 drawn = 0;
    for (const std::shared_ptr<ParticleInstance>& instance : instances) {
        if (drawn >= capacity) break;
        const auto* puff = static_cast<const PcSmokeInstance*>(instance.get());
        if (puff->cullingCell == nullptr || !puff->cullingCell->visible || !puff->drawable()) continue;
        const SmokeRecord record = puff->record(blend);
        std::memcpy(out + static_cast<size_t>(drawn) * sizeof(SmokeRecord), &record, sizeof(SmokeRecord));
        drawn++;
    }
    return drawn;
}

void PcSmoke::drawAll(CommandBuffer& cmd, const SnapshotBlend& blend, ParticleRenderer& renderer)
{
    std::lock_guard lock(mutex);
    if (instances.empty() || mesh == nullptr) return;
    // Never more than the renderer's slot holds.
    const u32 capacity = std::min<u32>(static_cast<u32>(std::min<size_t>(instances.size(), ParticleRules::MaxDrawnPuffs)),
                                       renderer.instanceSlot->size / ParticleRules::SmokeRecordBytes);
    void* memory = nullptr;
    StorageSlot* slot = renderer.instanceSlot;
    slot->offset = slot->storage->allocate(slot->offset, &memory, capacity * ParticleRules::SmokeRecordBytes);
    const u32 drawn = writeRecords(blend, static_cast<u8*>(memory), capacity);
    if (drawn == 0) return;
    cmd.addDataSet(renderer.instanceSet);
    cmd.bindDataSets(1);
    cmd.drawMesh(mesh, drawn);
}
