#pragma once

#include "Engine/Types.h"
#include "Game/Buildings/Building.h"

class DsStorageFixed;
class Pipeline;

// The game's kinds and the GPU objects that building and tower draws share: made once
// at engine start-up, before any game exists, and kept until the process ends.
// Afterwards every thread reads them without locks.

// The model matrices of every building and tower part.
extern DsStorageFixed* instanceStorage;
// Buildings and towers into the shadow cascades (depth only, depth bias dynamic).
extern Pipeline* shadowInstancePipeline;
// Buildings and towers in the main pass, lit and shadowed.
extern Pipeline* towerPipeline;
// The translucent ghost of a building about to be placed (no depth writes).
extern Pipeline* towerPreviewPipeline;
// The depth-only pass of the hover outline.
extern Pipeline* towerEdgePipeline;
// By BuildingTypeIndex: wall, cannon tower, mortar tower, castle, portal.
extern Building* buildingTypes[BuildingTypeCount];
// The enemy kinds (normal, heavy) are in enemyTypes (Game/Enemies/Enemy.h).

namespace EntityTypes {

// Main thread, from Engine::init: the instance storage, the four shared pipelines and
// the kinds (cannon, mortar, castle, wall, portal, in that order, each in its global
// before its files are read; then the normal and the heavy enemy). A broken file ends
// the start-up.
void createAll();

// Deletes the kinds and their shapes and clears the globals. The game never calls it
// (the kinds outlive every game); tests that bring the device up and down do, after the
// device has taken the GPU objects.
void releaseAll();

// Any thread: a model-matrix slot of `instanceStorage` that no draw uses any more.
void releaseInstanceSlot(u32 offset);
// Main thread, once per frame while playing, before the world records: the slots given
// up by the frame before return to the pool (that frame's GPU work has finished when
// this one is recorded), then the slots released since are given up.
void recycleInstanceSlots();

} // namespace EntityTypes
