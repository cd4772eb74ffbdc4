#pragma once

#include "MeshKit.h"

#include <vector>

// The game's models, each a list of meshes in the game's coordinates. Buildings stand
// on y = 0 at the centre of their footprint; a tower's origin is its pivot, 1.0 above
// the ground, with the barrel pointing along +x.

// Footprints in cells (x, z) and height in terrain steps (y), as the building
// configuration files give them; the models are built to fit them.
namespace Footprint {
constexpr f32 wallX = 2.0f, wallZ = 1.0f, wallSteps = 5.0f;
constexpr f32 castleX = 8.0f, castleZ = 8.0f, castleSteps = 5.0f;
constexpr f32 towerX = 2.0f, towerZ = 2.0f;
constexpr f32 portalX = 6.0f, portalZ = 6.0f, portalSteps = 16.0f;
} // namespace Footprint

namespace Heights {
constexpr f32 step = 0.4f;           // one terrain step
constexpr f32 towerPivot = 1.0f;     // the turret pivot above the ground
constexpr f32 foundation = 1.2f;     // how far models reach below the ground, for slopes
} // namespace Heights

std::vector<KitMesh> makeWall();     // "Wall"
std::vector<KitMesh> makeCastle();   // "Castle"
std::vector<KitMesh> makePortal();   // "PortalFrame", "Portal"
std::vector<KitMesh> makeCannonTower(); // "Base", "Turret", "Cannon"
std::vector<KitMesh> makeMortarTower(); // "Base", "Turret", "Cannon"
std::vector<KitMesh> makeSmoke();    // "Smoke"
