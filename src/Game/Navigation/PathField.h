#pragma once

// Placeholder of the enemies' navigation field until the field itself is merged:
// the same interface, no goals, every direction (0, 0).

#include "Engine/Types.h"

#include <glm/glm.hpp>

class World;

class PathField {
public:
    explicit PathField(World* world);
    ~PathField();
    PathField(const PathField&) = delete;
    PathField& operator=(const PathField&) = delete;

    void queueCellValues(const glm::ivec3& gridPos, const glm::ivec3& size, f32 value);
    void queueFixedCosts(const glm::ivec3& gridPos, const glm::ivec3& size, f32 cost);
    glm::vec2 direction(i64 xi, i64 zi) const;
    glm::vec2 directionAt(f32 x, f32 z) const;
};
