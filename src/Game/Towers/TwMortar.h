#pragma once

#include "Game/Towers/TowerKind.h"

// The mortar tower kind: high lobs of bombs that burst.
class TwMortar : public TowerKind {
public:
    static constexpr const char* ConfigPath = "assets/Buildings/Towers/TwMortar/config.json";
    static constexpr const char* ModelPath = "assets/Buildings/Towers/TwMortar/mortar.glb";

    TwMortar();
    // Tower instances come with tower aiming: until then nothing is made (null).
    std::shared_ptr<BuildingInstance> createInstance(const glm::ivec3& gridPos, f32 rotation) override;
};
