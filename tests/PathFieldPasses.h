#pragma once

// The navigation field's rules applied the plain way, on a PathField's own arrays: a
// pass visits the vertices of its list in order and queues their neighbours for the
// next pass, so changes spread one ring of vertices per pass. A solved vertex that a
// neighbour undercuts by more than the slack is reset, its solved neighbours visited
// again, and it is solved again from them. Slow, but each step is a rule: the tests and
// the benchmark hold the field's solver against it. Only for a field without thread,
// and never mixed with PathField::step.

#include "Game/Navigation/PathField.h"

#include <utility>
#include <vector>

class PathFieldPasses {
public:
    explicit PathFieldPasses(PathField& field) : field(field) {}

    // The rectangle's vertices (inside the grid) become goals, without a reset.
    void addGoals(const glm::ivec3& pos, const glm::ivec3& size)
    {
        for (u32 x = pos.x; x <= static_cast<u32>(pos.x + size.x); x++) {
            for (u32 z = pos.z; z <= static_cast<u32>(pos.z + size.z); z++) {
                field.storeCell(field.index(x, z), {0.0f, 0.0f, PathDistanceRules::Goal, 0});
                active.push_back({x, z});
            }
        }
    }

    // After a removed goal or a cost change: the non-goal interior is unreached and
    // the interior goals start again. With `all`, every vertex keeps its distance and
    // every interior vertex and goal is visited: a field that the passes then leave
    // unchanged is converged by the rules.
    void reset(bool all = false)
    {
        active.clear();
        for (u32 z = 0; z < field.gridSize; z++) {
            for (u32 x = 0; x < field.gridSize; x++) {
                f32& d = field.distances[field.index(x, z)];
                const bool goal = d == PathDistanceRules::Goal;
                if (!goal && !all && field.interior(x, z)) d = PathDistanceRules::Unreached;
                if (field.interior(x, z) ? all || goal : all && goal) active.push_back({x, z});
            }
        }
    }

    bool step()
    {
        const bool worked = !active.empty();
        for (const PathCellPos& p : active) {
            const size_t i = field.index(p.x, p.z);
            const f32 d = field.distances[i];
            if (field.smoothedHeights[i] < PathCostRules::DeepWater) continue;
            if (d > 0.0f && d < PathDistanceRules::SolvedLimit) {
                if (consistent(i)) {
                    queueNeighbours(p, [](f32 e) { return e > PathDistanceRules::StoreLimit; }); // expandCell
                } else {
                    field.distances[i] = PathDistanceRules::Unreached;
                    queueNeighbours(p, [](f32 e) { return e > 0.0f && e < PathDistanceRules::StoreLimit; }); // raiseCell
                }
            } else if (d == PathDistanceRules::Goal) {
                queueNeighbours(p, [](f32 e) { return e != PathDistanceRules::Goal; }); // expandFromSource
            } else {
                const PathCell solved = field.solveCell(p.x, p.z);
                if (solved.distance < PathDistanceRules::StoreLimit) {
                    field.storeCell(i, solved);
                    field.queued[i] = 0;
                    queueNeighbours(p, [](f32 e) { return e != PathDistanceRules::Goal; });
                }
            }
        }
        for (const PathCellPos& p : next) field.queued[field.index(p.x, p.z)] = 0;
        active.clear();
        std::swap(active, next);
        return worked;
    }

    u32 solveUntilIdle()
    {
        u32 passes = 0;
        while (step()) passes++;
        return passes;
    }

private:
    // No neighbour offers a way shorter by more than the slack (in double precision).
    bool consistent(size_t i) const
    {
        const size_t n = field.gridSize;
        const size_t neighbour[4] = {i + 1, i - 1, i + n, i - n};
        for (int k = 0; k < 4; k++) {
            const f64 undercut = static_cast<f64>(field.distances[i]) - field.distances[neighbour[k]];
            if (undercut > static_cast<f64>(field.edgeCosts[i][k]) + PathCostRules::ConsistencySlack) return false;
        }
        return true;
    }

    template <typename Test>
    void queueNeighbours(PathCellPos p, Test test)
    {
        for (PathCellPos q : {PathCellPos{p.x + 1, p.z}, PathCellPos{p.x - 1, p.z}, PathCellPos{p.x, p.z + 1},
                              PathCellPos{p.x, p.z - 1}}) {
            if (!field.interior(q.x, q.z)) continue;
            const size_t j = field.index(q.x, q.z);
            if (!test(field.distances[j]) || field.queued[j]) continue;
            field.queued[j] = 1;
            next.push_back(q);
        }
    }

    PathField& field;
    std::vector<PathCellPos> active; // activeCells
    std::vector<PathCellPos> next;   // nextCells
};
