#include "Game/Navigation/PathField.h"

PathField::PathField(World*)
{
}

PathField::~PathField()
{
}

void PathField::queueCellValues(const glm::ivec3&, const glm::ivec3&, f32)
{
}

void PathField::queueFixedCosts(const glm::ivec3&, const glm::ivec3&, f32)
{
}

glm::vec2 PathField::direction(i64, i64) const
{
    return glm::vec2(0.0f);
}

glm::vec2 PathField::directionAt(f32, f32) const
{
    return glm::vec2(0.0f);
}
