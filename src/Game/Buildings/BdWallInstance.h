#pragma once

#include "Game/Buildings/FixedBuildingInstance.h"

// A wall: a static body that enemies walk around (its vertices cost more to cross),
// no goal of theirs.
class BdWallInstance : public FixedBuildingInstance {
public:
    using FixedBuildingInstance::FixedBuildingInstance;

    void spawn() override;
    // Also gives its vertices their slope cost back, but for those a standing wall
    // shares.
    void destroy() override;
    void recordShadowDraw(CommandBuffer& cmd, u32 firstSet, u32 frame) override;
    void recordDraw(CommandBuffer& cmd, u32 firstSet, u32 frame) override;
};
