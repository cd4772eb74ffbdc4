#pragma once

#include "Game/Buildings/FixedBuildingInstance.h"

class BdPortal;

// A portal: where enemies enter. It has no body (nothing picks it, nothing bumps into
// it) and draws its frame and its animated surface with its kind's own pipelines.
class BdPortalInstance : public FixedBuildingInstance {
public:
    f32 rotation = 0.0f; // radians about the world y axis
    BdPortal* portal = nullptr; // the kind's meshes, pipelines and frame texture

    // `portal` may be null where nothing is drawn (tests of the life cycle).
    BdPortalInstance(Building* kind, const glm::ivec3& gridPos, f32 rotation, BdPortal* portal);

    void spawn() override;
    // Depth of the surface and the frame with the caller's pipeline.
    void recordShadowDraw(CommandBuffer& cmd, u32 firstSet, u32 frame) override;
    // The surface with the portal pipeline (the running time animates it), the frame
    // with the frame pipeline; the caller's pipeline and scene set are bound again.
    void recordDraw(CommandBuffer& cmd, u32 firstSet, u32 frame) override;
};
