#pragma once

#include "Game/Buildings/BuildingInstance.h"

#include <glm/glm.hpp>

// A building that never moves (castle, wall, portal): one model matrix, written into
// `instanceStorage` on its first visible draw and kept there until the building goes.
// It keeps no snapshots.
class FixedBuildingInstance : public BuildingInstance {
public:
    glm::mat4 model{1.0f};     // model to world
    u32 matrixOffset;          // in instanceStorage; NoOffset until first written
    Mesh* mesh = nullptr;      // what getRenderObjects hands the previews

    FixedBuildingInstance(Building* kind, const glm::ivec3& gridPos, Mesh* mesh);

    std::vector<RenderObject> getRenderObjects() override;
    void storeSnapshot(u32 slot) override;

protected:
    // Consumes skipNextDraw; false when this draw is skipped or the culling cell is not
    // visible. Otherwise the matrix is in instanceStorage and instanceSlot points at it.
    bool prepareDraw();
    // Binds the manager's instanceSet from `firstSet` and draws `drawn` once.
    void drawWithInstanceSet(CommandBuffer& cmd, u32 firstSet, Mesh* drawn);
    void releaseMatrixSlots() override;
};
