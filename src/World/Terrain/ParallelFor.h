#pragma once

#include "Engine/Types.h"

#include <functional>

// Number of worker threads a parallel loop uses for `requested`: 0 means one per
// hardware thread; the result is at least 1.
u32 workerCount(u32 requested);

// Runs body(begin, end) over [0, count) split into blocks of `grain` items, handed
// out in order to `threads` workers (0: all hardware threads), and returns when every
// block is done. The calling thread is one of the workers. Blocks may run in any
// order, so the body must give the same result whatever thread runs which block.
void parallelFor(u32 count, u32 grain, u32 threads, const std::function<void(u32 begin, u32 end)>& body);
