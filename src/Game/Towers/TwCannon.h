#pragma once

#include "Game/Towers/TowerKind.h"

// The cannon tower kind: flat shots of cannonballs.
class TwCannon : public TowerKind {
public:
    static constexpr const char* ConfigPath = "assets/Buildings/Towers/TwCannon/config.json";
    static constexpr const char* ModelPath = "assets/Buildings/Towers/TwCannon/cannon.glb";

    TwCannon();
    // A new tower at `gridPos`, level 0 at full health, not yet spawned.
    std::shared_ptr<BuildingInstance> createInstance(const glm::ivec3& gridPos, f32 rotation) override;
};
