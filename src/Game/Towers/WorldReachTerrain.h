#pragma once

#include "Game/Towers/ReachGrid.h"

struct WorldPhysics;
class World;

// The reach map's view of a running game: segment tests against the world's query
// physics world (terrain only), each under the query world's mutex, and the world's
// step grid and origin. The world and its query world outlive every tower.
SegmentTest queryWorldSegmentTest(WorldPhysics& physics);
ReachTerrain worldReachTerrain(World& world);
