#pragma once

#include "Game/Buildings/FixedBuildingInstance.h"

// The castle: a static body of its whole height, a goal of the enemies' navigation;
// losing it loses the game.
class BdCastleInstance : public FixedBuildingInstance {
public:
    using FixedBuildingInstance::FixedBuildingInstance;

    void spawn() override;
    // Also sets the session lost, unless the world is being torn down.
    void destroy() override;
    void recordShadowDraw(CommandBuffer& cmd, u32 firstSet, u32 frame) override;
    void recordDraw(CommandBuffer& cmd, u32 firstSet, u32 frame) override;
};
