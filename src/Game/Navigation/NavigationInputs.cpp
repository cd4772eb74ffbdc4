#include "Game/Navigation/NavigationInputs.h"

#include <utility>

void NavigationRecorder::queueCellValues(const glm::ivec3& gridPos, const glm::ivec3& gridSize, f32 value)
{
    std::lock_guard lock(mutex);
    cellValues.push_back({gridPos, gridSize, value});
}

void NavigationRecorder::queueFixedCosts(const glm::ivec3& gridPos, const glm::ivec3& gridSize, f32 cost)
{
    std::lock_guard lock(mutex);
    fixedCosts.push_back({gridPos, gridSize, cost});
}

std::vector<NavigationRequest> NavigationRecorder::takeCellValues()
{
    std::lock_guard lock(mutex);
    return std::exchange(cellValues, {});
}

std::vector<NavigationRequest> NavigationRecorder::takeFixedCosts()
{
    std::lock_guard lock(mutex);
    return std::exchange(fixedCosts, {});
}
