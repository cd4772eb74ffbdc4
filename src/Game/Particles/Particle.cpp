#include "Game/Particles/Particle.h"

#include "Game/Buildings/InstanceList.h"

std::atomic<i32> liveParticleCount{0};

ParticleInstance::ParticleInstance(Particle* kind_) : typeIndex(kind_->typeIndex), kind(kind_)
{
    liveParticleCount.fetch_add(1);
}

ParticleInstance::~ParticleInstance()
{
    liveParticleCount.fetch_sub(1);
}

void ParticleInstance::remove()
{
    std::lock_guard lock(kind->mutex);
    if (removed) return;
    removed = true;
    InstanceList::erase(kind->instances, this);
}

Particle::Particle(u32 typeIndex_) : typeIndex(typeIndex_)
{
}

Particle::~Particle() = default;

void Particle::updateAllBounds(CullingGrid& grid, u32 frame)
{
    std::lock_guard lock(mutex);
    for (size_t i = instances.size(); i-- > 0;) {
        instances[i]->updateBounds(grid, frame);
    }
}

void Particle::tickAll()
{
    // Only this thread changes the list: it walks it without the mutex, holding each
    // instance while it runs, as a tick may take it out.
    for (size_t i = instances.size(); i-- > 0;) {
        if (i >= instances.size()) continue;
        const std::shared_ptr<ParticleInstance> instance = instances[i];
        instance->tick();
    }
}

void Particle::storeSnapshots(u32 slot)
{
    for (size_t i = instances.size(); i-- > 0;) {
        instances[i]->storeSnapshot(slot);
    }
}

void Particle::clear()
{
    std::vector<std::shared_ptr<ParticleInstance>> leaving;
    {
        std::lock_guard lock(mutex);
        for (const std::shared_ptr<ParticleInstance>& instance : instances) {
            instance->removed = true;
        }
        leaving.swap(instances);
    }
    // Deleted outside the lock.
}

void Particle::add(const std::shared_ptr<ParticleInstance>& instance)
{
    std::lock_guard lock(mutex);
    instance->listIndex = static_cast<i32>(instances.size());
    instances.push_back(instance);
}

size_t Particle::count()
{
    std::lock_guard lock(mutex);
    return instances.size();
}
