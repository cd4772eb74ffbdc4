#pragma once

#include "Engine/Types.h"
#include "Game/Navigation/NavigationRules.h"

#include <glm/glm.hpp>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class World;

// A vertex of the field as values: the unit direction of travel (world x and z), the
// cost of the cheapest walk from it to a goal, and whether it waits in the solver's
// queue. What a solve gives and what tests read.
struct PathCell {
    f32 dirX = 0.0f;
    f32 dirZ = 0.0f;
    f32 distance = PathDistanceRules::Unreached;
    u8 queued = 0;
};

// The way down a field between four vertices: `corners` are the distances at (x0, z0),
// (x0+1, z0), (x0, z0+1) and (x0+1, z0+1), and (fx, fz) in [0, 1] the position between
// them. The unit vector against the gradient of their bilinear blend; `fallback` when
// a corner is not solved (a goal's 0 is) or the blend is flat.
glm::vec2 wayFromDistances(const f32 corners[4], f32 fx, f32 fz, glm::vec2 fallback);

// The same from the 4 x 4 vertices around the cell (`block` row by row, z0-1 to z0+2,
// each x0-1 to x0+2): the gradient at each of the cell's corners from its neighbours
// on both sides, blended bilinearly, so that the way changes smoothly across cell
// edges and an enemy on the edge between two cells is not held there by ways that
// point at each other. Where any of the 16 is not solved: wayFromDistances of the
// cell's own corners.
glm::vec2 wayFromDistanceBlock(const f32 block[16], f32 fx, f32 fz, glm::vec2 fallback);

// A vertex (x, z) of the grid.
struct PathCellPos {
    u32 x = 0;
    u32 z = 0;
};

// New costs for the four steps out of one vertex, in the order +x, -x, +z, -z. A
// positive cost replaces the slope cost of that step; -1 gives the slope cost back.
struct PathFixedCost {
    f32 cost[4] = {PathCostRules::RestoreSlope, PathCostRules::RestoreSlope, PathCostRules::RestoreSlope,
                   PathCostRules::RestoreSlope};
    u32 x = 0;
    u32 z = 0;
};

// The cost of the four steps out of a vertex: +x, -x, +z, -z (0 where the grid ends).
using PathEdgeCosts = std::array<f32, 4>;

// The enemies' navigation field: for every vertex of the terrain grid the cost of the
// cheapest walk to the nearest goal (a vertex under the castle or a tower) and the
// direction that walk starts in. Walking uphill costs more than flat or downhill
// ground, steps out of a wall vertex cost the wall's fixed cost, and water deeper than
// 4 units is never entered.
//
// Buildings queue goals and wall costs from any thread; the solver takes them up at
// the start of its next step. New goals improve the field from where they stand; a
// goal removed or a cost changed resets every non-goal vertex to unreached and the
// field grows again from the goals, while each vertex keeps steering with its old
// direction until it is solved again. The solver visits vertices in order of distance
// (in buckets), so a vertex is solved once its nearer neighbours are final; a vertex
// that a later solve beside it would shorten is solved and visited again. The field it
// converges to is one that a plain relaxation (one ring of vertices per pass, a vertex
// solved again only when a neighbour undercuts it) leaves unchanged.
//
// The solver runs on the field's own thread (`start`), or synchronously through `step`
// and `solveUntilIdle` when no thread was started.
class PathField {
public:
    World* world = nullptr; // the world whose terrain was read; used only when made
    u32 gridSize = 0;       // vertices per side, n
    // Per vertex (x, z) at index z*n + x. A direction is one 8-byte atomic (x in the
    // low half), so the enemy steering reads a whole pair without a lock while the
    // solver writes. Distances and queued flags belong to the solver.
    std::unique_ptr<std::atomic<u64>[]> directions;
    std::vector<f32> distances;
    // The same distances for readers on other threads (the enemy steering): one atomic
    // value per vertex, written with every change of `distances`.
    std::unique_ptr<std::atomic<f32>[]> sharedDistances;
    std::vector<u8> queued;
    std::vector<f32> smoothedHeights; // the heights averaged over 3 x 3 vertices
    std::vector<PathEdgeCosts> edgeCosts;
    // 1 where a vertex may be solved: inside the border and not under deep water.
    std::vector<u8> solvable;
    // How often the field was reset and grown again from its goals (a goal removed, a
    // cost changed): distances may have grown anywhere since.
    std::atomic<u32> resets{0};

    // A field over the height grid `heights` (n x n values, index z*n + x, in world
    // units) with no goal. The solver thread starts when `startThread` is set.
    PathField(const std::vector<f32>& heights, u32 gridSize, bool startThread);
    // The field of the world's terrain (its continuous eroded heights), solving on its
    // own thread.
    explicit PathField(World* world);
    // Stops the thread (it finishes the step it is in) and waits for it. No other
    // thread may queue or read directions once this has begun.
    ~PathField();
    PathField(const PathField&) = delete;
    PathField& operator=(const PathField&) = delete;

    // Starts the solver thread unless it runs.
    void start();
    // Stops the solver thread, if it runs, once it has finished its step, and waits
    // for it. The field keeps its state; `start` runs the thread again.
    void stopThread();

    // Queue every vertex of the rectangle x..x+gx by z..z+gz (both ends included; y and
    // gy are ignored), clipped to the grid, for the next step. Callable from any thread.
    // A value of 0 makes the vertices goals; any other value makes them no goals and
    // makes the next step reset the field.
    void queueCellValues(const glm::ivec3& gridPos, const glm::ivec3& size, f32 value);
    // Gives every step out of each vertex of the rectangle the cost `cost` (a wall: 30),
    // or its slope cost back with -1; the next step resets the field. A cost that is not
    // a finite positive number or -1 is refused: nothing is queued.
    void queueFixedCosts(const glm::ivec3& gridPos, const glm::ivec3& size, f32 cost);

    // One step of the solver: takes up the queued changes, then visits up to
    // VisitsPerStep vertices in order of distance. True when it visited any.
    bool step();
    // Runs steps until one finds no work: the field is then converged. Returns the
    // number of steps that worked.
    u32 solveUntilIdle();

    // The direction of travel at vertex (xi, zi); (0, 0) outside the grid. Takes no
    // lock: callable from any thread while the solver runs.
    glm::vec2 direction(i64 xi, i64 zi) const;
    // The same for a position (x, z) relative to the world origin: the vertex is
    // (x + 0.5, z + 0.5) truncated toward zero. A non-finite position reads (0, 0).
    glm::vec2 directionAt(f32 x, f32 z) const;

    // The way down the field where an enemy stands at (x, z) relative to the world
    // origin: the steepest descent of the distances blended around it
    // (wayFromDistanceBlock), so that the way does not jump where neighbouring vertices
    // point different ways. Where the vertices around it are not reached (or near the
    // grid's edge) it is the direction of the nearest vertex (directionAt). Takes no
    // lock.
    glm::vec2 wayAt(f32 x, f32 z) const;
    // The distance of vertex (xi, zi) as readers see it; Unreached outside the grid.
    // Takes no lock.
    f32 sharedDistance(i64 xi, i64 zi) const;

    // The solve of vertex (x, z) from its neighbours' distances and its own step costs
    // (an interior vertex: 1 <= x, z <= n-2). Distance Unreached when no neighbour
    // offers a way below CandidateLimit.
    PathCell solveCell(u32 x, u32 z) const;
    // After vertex (x, z) became a goal or was solved: solves again every interior
    // neighbour (no goal, not under deep water) whose solve it may take part in, keeps
    // each solve that shortens the neighbour's distance and queues that neighbour in
    // the bucket of its new distance.
    void expandFromSource(u32 x, u32 z);
    // Sets the four step costs of the record's vertex: the record's cost where it is
    // positive (and finite), else the slope cost; 0 toward a neighbour outside the grid.
    void computeEdgeCosts(const PathFixedCost& record);
    // The slope cost of the step from vertex index `from` to its neighbour `to`.
    f32 slopeCost(size_t from, size_t to) const;

    // Publishes a solve of vertex index i: its direction (one atomic store) and distance.
    void storeCell(size_t i, const PathCell& solved);
    void storeDirection(size_t i, f32 x, f32 z);
    // Sets the distance of vertex index i, for the solver and for readers.
    void setDistance(size_t i, f32 distance);

    // Vertex (x, z) as values. Its distance is the solver's: read it only while no
    // step runs (tests, benchmarks).
    PathCell cell(u32 x, u32 z) const;
    size_t index(u32 x, u32 z) const { return static_cast<size_t>(z) * gridSize + x; }
    // 1 <= x, z <= n-2 (a coordinate that wrapped below 0 is far outside).
    bool interior(u32 x, u32 z) const
    {
        return gridSize >= 3 && x >= 1 && z >= 1 && x <= gridSize - 2 && z <= gridSize - 2;
    }

private:
    void threadMain();
    // Drains the three input queues into the field; true when the field must be reset.
    bool applyQueuedInputs();
    // Every non-goal interior vertex becomes unreached (its direction stays) and the
    // solver starts again from every goal.
    void resetToGoals();
    // Queues vertex i for a visit at its distance, whose value was `previous` before.
    void enqueue(size_t i, f32 previous);
    u32 bucketOf(f32 distance) const;
    u32 tick();
    void restartClock();
    PathCell solveAt(size_t i) const;

    std::mutex inputMutex;  // guards the three input queues
    std::mutex solverMutex; // held by a whole step
    std::vector<PathCellPos> queuedCells;
    std::vector<f32> queuedValues;
    std::vector<PathFixedCost> queuedFixedCosts;

    // Vertices to visit, by distance bucket; an entry is live while its vertex is queued
    // and its distance is still in that bucket (older entries are skipped).
    std::vector<std::vector<u32>> buckets;
    u32 currentBucket = 0;
    size_t bucketEntries = 0;
    // When each vertex was last solved and last changed, on a clock that counts both:
    // a neighbour solved after a vertex's last change has already seen it.
    std::vector<u32> solvedAt;
    std::vector<u32> storedAt;
    u32 clock = 0;

    std::thread thread;
    std::atomic<bool> stopRequested{false};
};
