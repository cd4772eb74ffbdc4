#pragma once

#include "Game/Buildings/Building.h"

// The castle kind: placed by the game itself at the start of a game, never from the
// tool bar.
class BdCastle : public Building {
public:
    static constexpr const char* ConfigPath = "assets/Buildings/BdCastle/config.json";
    static constexpr const char* ModelPath = "assets/Buildings/BdCastle/castle.glb";

    Mesh* model = nullptr;

    // Stores itself in buildingTypes, then reads its file and imports its model.
    BdCastle();

    void loadConfig() override;
    // The box of the whole building height (half extents gx/2, gy * 0.4, gz/2) and the
    // model's first mesh.
    void loadModel();
    std::shared_ptr<BuildingInstance> createInstance(const glm::ivec3& gridPos, f32 rotation) override;
};
