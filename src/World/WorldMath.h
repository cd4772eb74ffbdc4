#pragma once

// The world's per-frame arithmetic, free of GPU and window code: the camera's near and
// far planes, the hand-over of fixed logic ticks to the game-logic thread, and where
// the game camera starts.

#include "Engine/Types.h"

#include <glm/glm.hpp>

struct CameraPlanes {
    f32 nearPlane = 0.0f;
    f32 farPlane = 0.0f;
};

// Close to the planet (less than 1.3 radii from its centre at (0, -radius, 0)) the
// camera sees from 2.5 to three radii; farther out from 100 to 500000.
CameraPlanes cameraPlanes(glm::vec3 position, f32 planetRadius);

// Both sides of the tick hand-over as one plain record: the main thread feeds frame
// time in and hands batches of whole ticks to the worker; the worker publishes
// `produced` and `lastBatchMs` when it has stored a batch.
struct LogicTickFeed {
    u32 consumed = 0;           // snapshot the renderers read
    u32 produced = 1;           // snapshot the worker published last
    f32 averageBatchMs = 0.0f;  // smoothed time of one tick
    bool tickRequested = false; // a batch may run
    bool skipWait = false;      // the worker is behind: start the next batch at once
    u32 ticksDue = 1;           // ticks of the next batch (1 to 5)
    f32 accumulator = 0.0f;     // seconds not yet handed over
    f32 remainder = 0.0f;       // seconds past the last handed-over tick (interpolation)
    f32 lastBatchMs = 0.0f;     // duration of the worker's last batch
};

// One frame of `frameMs` milliseconds. Returns true when at least one whole tick is
// due, i.e. the worker is to be woken (whether or not it is still busy).
bool feedLogicTicks(LogicTickFeed& feed, f32 frameMs);

// The game camera's start: 30 units along +x from a site {corner x, highest step,
// corner z} of the terrain grid and 50 units above that step, relative to the grid's
// origin.
glm::vec3 startCameraPosition(glm::vec3 origin, glm::ivec3 site);
