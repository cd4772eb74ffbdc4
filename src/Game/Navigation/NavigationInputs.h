#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>

#include <mutex>
#include <vector>

// What buildings tell the enemies' navigation about their footprints. A rectangle
// covers the grid vertices x = gridPos.x .. gridPos.x + gridSize.x and z = gridPos.z ..
// gridPos.z + gridSize.z (both inclusive); a size of 0 names a single vertex. Both
// calls may come from any thread.
class NavigationInputs {
public:
    virtual ~NavigationInputs() = default;
    // Goal values of the navigation field: 0 makes the vertices goals (castle,
    // towers), 999999 takes that back.
    virtual void queueCellValues(const glm::ivec3& gridPos, const glm::ivec3& gridSize, f32 value) = 0;
    // Walking cost of the edges at the vertices: 30 beside a wall, -1 back to the
    // ground's own slope cost.
    virtual void queueFixedCosts(const glm::ivec3& gridPos, const glm::ivec3& gridSize, f32 cost) = 0;
};

// One request, as queued.
struct NavigationRequest {
    glm::ivec3 gridPos{0};
    glm::ivec3 gridSize{0};
    f32 value = 0.0f;
};

// Keeps the requests in order until someone takes them: what the game holds until
// the navigation field consumes them itself, and what tests read.
class NavigationRecorder : public NavigationInputs {
public:
    void queueCellValues(const glm::ivec3& gridPos, const glm::ivec3& gridSize, f32 value) override;
    void queueFixedCosts(const glm::ivec3& gridPos, const glm::ivec3& gridSize, f32 cost) override;

    // The requests so far, in queue order; the recorder is empty afterwards.
    std::vector<NavigationRequest> takeCellValues();
    std::vector<NavigationRequest> takeFixedCosts();

private:
    std::mutex mutex;
    std::vector<NavigationRequest> cellValues;
    std::vector<NavigationRequest> fixedCosts;
};
