#pragma once

// Gives the memory that the process has freed back to the system. The C library keeps
// freed blocks for reuse, in one pool for each thread that allocated them; building a
// world (its loader and worker threads) and tearing one down each leave hundreds of
// megabytes freed but held, which the process would otherwise keep, growing with
// every New Game / Leave. Takes some milliseconds; for the moments after a world has
// been built or torn down, not for every frame.
void returnFreedMemory();
