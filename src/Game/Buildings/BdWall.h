#pragma once

#include "Game/Buildings/Building.h"

// The wall kind, placed by the player from the tool bar.
class BdWall : public Building {
public:
    static constexpr const char* ConfigPath = "assets/Buildings/BdWall/config.json";
    static constexpr const char* ModelPath = "assets/Buildings/BdWall/wall.glb";

    WallConfig kindConfig;
    Mesh* model = nullptr;

    // Stores itself in buildingTypes, then reads its file and imports its model.
    BdWall();
    // A kind with the numbers of `wall` and no model, not in buildingTypes (tests).
    explicit BdWall(const WallConfig& wall);

    void loadConfig() override;
    // The box (half extents gx/2, half the height, gz/2) and the model's first mesh.
    void loadModel();
    // The wall's model on the footprint's centre.
    std::vector<RenderObject> getPreviewRenderObjects(const glm::ivec3& gridPos) override;
    std::shared_ptr<BuildingInstance> createInstance(const glm::ivec3& gridPos, f32 rotation) override;
};
