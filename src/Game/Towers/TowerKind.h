#pragma once

#include "Game/Buildings/Building.h"

// What the cannon and the mortar tower kinds share: their file layout (with aim
// settings and per-level damage and shooting interval), a model of three parts and a
// box of fixed height.
class TowerKind : public Building {
public:
    TowerConfig kindConfig;
    Mesh* baseMesh = nullptr;   // "Base"
    Mesh* turretMesh = nullptr; // "Turret": turns in yaw
    Mesh* barrelMesh = nullptr; // "Cannon": turns in yaw and pitch

    // Stores itself in buildingTypes[typeIndex], reads `configPath` and imports
    // `modelPath`.
    TowerKind(u32 typeIndex, const char* configPath, const char* modelPath);
    // A kind with the numbers of `tower` and no model, not in buildingTypes (tests).
    TowerKind(u32 typeIndex, const TowerConfig& tower);

    void loadConfig() override;
    // The box (half extents gx/2, 1.2, gz/2) and the three part meshes by name.
    void loadModel();
    // "Health: {}", "Damage: {}" and "Shooting speed: {:.2f}/sec" of `level`.
    std::vector<std::string> infoLines(i32 level) const override;
    // Base, turret and barrel unturned, 1.0 above the footprint's ground centre.
    std::vector<RenderObject> getPreviewRenderObjects(const glm::ivec3& gridPos) override;

private:
    const char* configPath;
    const char* modelPath;
};

// "Shooting speed: {:.2f}/sec" at `interval` ticks between shots: 1 / (1/60) in
// single precision (59.999996) over the interval.
std::string shootingSpeedLine(i32 interval);
