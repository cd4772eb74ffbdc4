#pragma once

#include "Engine/Types.h"

// The numbers of the enemies' navigation field, grouped by what they govern.

// Distances: what a vertex's distance says about it.
namespace PathDistanceRules {
constexpr f32 Goal = 0.0f;               // a source: under a castle or a tower
constexpr f32 Unreached = 999999.0f;     // the start value, and every non-goal after a reset
constexpr f32 StoreLimit = 999000.0f;    // a solve stores only distances below this
constexpr f32 SolvedLimit = 900000.0f;   // 0 < d < this: solved
constexpr f32 CandidateCap = 100000.0f;  // the cheapest neighbour offer is capped here
constexpr f32 CandidateLimit = 99999.0f; // an offer of this or more leaves the vertex unreached
} // namespace PathDistanceRules

// Step costs between neighbouring vertices.
namespace PathCostRules {
constexpr f32 SlopeFactor = 16.0f;       // a step rising r costs 1 + 16 r^2
constexpr f32 WallCost = 30.0f;          // every step out of a wall vertex
constexpr f32 RestoreSlope = -1.0f;      // a fixed cost of -1 gives the slope cost back
constexpr f32 DeepWater = -4.0f;         // vertices smoothed below this height are never solved
constexpr f32 ConsistencySlack = 0.05f;  // a vertex may exceed a neighbour's offer by this much
} // namespace PathCostRules

// The upwind (fast-marching) blend of a solve.
namespace PathSolveRules {
constexpr f32 BlendEpsilon = 0.0001f;    // f = 1 / (max(len, 1) + epsilon)
// The blend takes at most 1 - 1/sqrt(2) (0.293) of a step's cost off the best offer.
constexpr f32 BlendShare = 0.3f;
} // namespace PathSolveRules

// The solver: its thread and how it orders the work.
namespace PathSolverRules {
constexpr u32 IdleSleepMs = 10;          // the thread's sleep after a step without work
// Vertices are visited in order of distance, in buckets of this width; a bucket is
// below the smallest step cost (1), so a vertex's upwind neighbours are almost always
// visited before it.
constexpr f32 BucketWidth = 0.5f;
// One step visits at most this many vertices, so that queued changes are taken up
// and a stop request is seen within a few milliseconds.
constexpr u32 VisitsPerStep = 1u << 16;
} // namespace PathSolverRules

// Reading the way where an enemy stands.
namespace PathReadRules {
// A blend of distances whose gradient is this short or shorter is flat: no way in it.
constexpr f32 FlatGradient = 1e-6f;
} // namespace PathReadRules
