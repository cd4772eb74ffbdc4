#pragma once

#include "Game/Towers/TowerKind.h"

// The mortar tower kind: high lobs of bombs that burst.
class TwMortar : public TowerKind {
public:
    static constexpr const char* ConfigPath = "assets/Buildings/Towers/TwMortar/config.json";
    static constexpr const char* ModelPath = "assets/Buildings/Towers/TwMortar/mortar.glb";

    TwMortar();
    // A new tower at `gridPos`, level 0 at full health, not yet spawned.
    std::shared_ptr<BuildingInstance> createInstance(const glm::ivec3& gridPos, f32 rotation) override;
};
