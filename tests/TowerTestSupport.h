#pragma once

// Towers, projectiles and smoke without a GPU, for unit tests and benchmarks: tower
// kinds with the game files' numbers (no model), projectile and smoke kinds without
// meshes, all installed in their globals for the time of a test, on the flat grounds
// of BuildingGrounds.

#include "BuildingTestSupport.h"

#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/Simulation.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/Particles/PcSmoke.h"
#include "Game/Projectiles/Projectile.h"
#include "Game/Projectiles/ProjectileRules.h"
#include "Game/Towers/TowerKind.h"
#include "Game/Towers/TwCannonInstance.h"
#include "Game/Towers/TwMortarInstance.h"

#include <cstring>
#include <memory>
#include <vector>

// The matrix pool of the buildings on host memory: what instanceStorage is to the
// tower parts' writes, without a device.
class HostInstancePool : public DsFixed {
public:
    std::vector<u8> bytes;

    explicit HostInstancePool(u32 slotCount) : HostInstancePool(slotCount, std::vector<u8>(size_t{slotCount} * 128)) {}
    VkDescriptorType descriptorType() override { return VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC; }
    glm::mat4 matrixAt(u32 offset) const
    {
        glm::mat4 out;
        std::memcpy(&out, bytes.data() + offset, sizeof(out));
        return out;
    }

private:
    HostInstancePool(u32 slotCount, std::vector<u8> memory)
        : DsFixed("HostInstancePool", memory.data(), slotCount, 128, 16), bytes(std::move(memory))
    {
    }
};

// The cannon's and the mortar's files, as numbers.
inline TowerConfig cannonTowerConfig()
{
    TowerConfig tower;
    tower.name = "Cannon Tower";
    tower.gridSize = {2, 5, 2};
    tower.aimSettings = {true, 30.0f, 0.01f, 0.06f, 50.0f, 40, {-0.6f, 0.9f}};
    tower.levels = {{500, 400, 35, 40}, {700, 700, 55, 32}, {1200, 1200, 90, 24}};
    return tower;
}

inline TowerConfig mortarTowerConfig()
{
    TowerConfig tower;
    tower.name = "Mortar Tower";
    tower.gridSize = {2, 5, 2};
    tower.aimSettings = {false, 45.0f, 0.006f, 0.035f, 45.0f, 150, {0.7f, 1.45f}};
    tower.levels = {{800, 400, 150, 150}, {1000, 700, 220, 130}, {1600, 1200, 320, 110}};
    return tower;
}

// A tower kind that makes the game's tower instances.
class TestTowerKind : public TowerKind {
public:
    TestTowerKind(u32 index, const TowerConfig& tower) : TowerKind(index, tower) {}
    std::shared_ptr<BuildingInstance> createInstance(const glm::ivec3& gridPos, f32) override
    {
        if (typeIndex == BuildingTypeMortar) return std::make_shared<TwMortarInstance>(this, gridPos);
        return std::make_shared<TwCannonInstance>(this, gridPos);
    }
};

// The projectile kinds and the smoke kind in their globals while it lives.
class TestShotKinds {
public:
    PtCannonBall cannonBall;
    PtBomb bomb;
    PcSmoke smoke;

    TestShotKinds()
    {
        for (u32 i = 0; i < ProjectileRules::TypeCount; i++) savedProjectiles[i] = projectileTypes[i];
        savedSmoke = smokeType;
        projectileTypes[ProjectileRules::CannonBallType] = &cannonBall;
        projectileTypes[ProjectileRules::BombType] = &bomb;
        smokeType = &smoke;
    }
    ~TestShotKinds()
    {
        // What is still flying leaves its list; the grounds delete the bodies.
        cannonBall.removeAll();
        bomb.removeAll();
        smoke.clear();
        for (u32 i = 0; i < ProjectileRules::TypeCount; i++) projectileTypes[i] = savedProjectiles[i];
        smokeType = savedSmoke;
    }
    TestShotKinds(const TestShotKinds&) = delete;
    TestShotKinds& operator=(const TestShotKinds&) = delete;

private:
    Projectile* savedProjectiles[ProjectileRules::TypeCount] = {};
    PcSmoke* savedSmoke = nullptr;
};

// Building grounds whose cannon and mortar kinds are real towers, with the shot kinds.
// Declared members go in reverse: the shot kinds first (their bodies join the
// registry's lists), then the tower kinds are taken back after every building is
// destroyed, then the grounds delete what the registry holds.
class TowerGrounds {
public:
    BuildingGrounds grounds;
    TestTowerKind cannon{BuildingTypeCannon, cannonTowerConfig()};
    TestTowerKind mortar{BuildingTypeMortar, mortarTowerConfig()};
    TestShotKinds shots;
    HostInstancePool pool{4096};

    TowerGrounds()
    {
        grounds.manager->instanceSlot->storage = &pool;
        saved[0] = buildingTypes[BuildingTypeCannon];
        saved[1] = buildingTypes[BuildingTypeMortar];
        buildingTypes[BuildingTypeCannon] = &cannon;
        buildingTypes[BuildingTypeMortar] = &mortar;
    }
    ~TowerGrounds()
    {
        grounds.manager->destroyAll();
        buildingTypes[BuildingTypeCannon] = saved[0];
        buildingTypes[BuildingTypeMortar] = saved[1];
    }
    TowerGrounds(const TowerGrounds&) = delete;
    TowerGrounds& operator=(const TowerGrounds&) = delete;

    BuildingManager& manager() { return *grounds.manager; }

    // A tower of `kind` with its footprint's corner at grid cell (x, z) of the flat
    // ground, spawned.
    std::shared_ptr<TowerInstance> tower(u32 kind, i32 x, i32 z)
    {
        std::shared_ptr<BuildingInstance> made = buildingTypes[kind]->createInstance({x, 0, z}, 0.0f);
        if (!grounds.manager->place(made)) return nullptr;
        grounds.manager->update(0);
        return std::static_pointer_cast<TowerInstance>(made);
    }

private:
    Building* saved[2] = {};
};
