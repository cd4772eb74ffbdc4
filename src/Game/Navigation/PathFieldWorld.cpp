#include "Engine/Helper/Fatal.h"
#include "Game/Navigation/PathField.h"
#include "World/Terrain/Terrain.h"
#include "World/World.h"

namespace {

// The terrain the field is made for; a world without one is a set-up error.
const TerrainGrid& terrainOf(const World* world)
{
    if (world == nullptr || world->terrain == nullptr) {
        fatalError("navigation field: the world has no terrain", "PathFieldWorld", __LINE__);
    }
    return *world->terrain;
}

} // namespace

PathField::PathField(World* world) : PathField(terrainOf(world).heights, terrainOf(world).gridSize, false)
{
    this->world = world;
    start();
}
