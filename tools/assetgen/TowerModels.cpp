#include "ModelShapes.h"
#include "Palette.h"

#include <algorithm>

// Both towers share one build: a square stone base with a coloured band and corner
// merlons, a turret drum with two cheek plates that turns in yaw, and a barrel that
// pitches about the z axis through the pivot (the origin) and points along +x.
// Projectiles leave from the pivot, so the barrel's trunnions sit exactly there.

namespace {

struct TowerStyle {
    glm::vec4 stone;
    glm::vec4 band;
    glm::vec4 turret;
    f32 drumRadius;
    f32 cheekGap; // half the distance between the cheek plates
};

KitMesh makeBase(const TowerStyle& style)
{
    KitMesh base;
    base.name = "Base";
    const f32 ground = -Heights::towerPivot;
    const f32 half = Footprint::towerX * 0.5f - 0.1f; // 0.9: a little inside the footprint
    const f32 top = -0.32f;
    addBox(base, {-half - 0.05f, ground - Heights::foundation, -half - 0.05f}, {half + 0.05f, ground, half + 0.05f},
           Palette::stoneDark);
    addBox(base, {-half, ground, -half}, {half, ground + 0.36f, half}, shade(style.stone, 1));
    addBox(base, {-half, ground + 0.36f, -half}, {half, top - 0.1f, half}, shade(style.stone, 2));
    addBox(base, {-half - 0.05f, top - 0.1f, -half - 0.05f}, {half + 0.05f, top, half + 0.05f}, style.band);
    // Merlons on the four corners of the platform, clear of the turning turret.
    for (f32 sx : {-1.0f, 1.0f}) {
        for (f32 sz : {-1.0f, 1.0f}) {
            glm::vec3 outer(sx * half, top, sz * half);
            glm::vec3 inner(sx * (half - 0.28f), top + 0.32f, sz * (half - 0.28f));
            addBox(base, glm::min(outer, inner), glm::max(outer, inner), shade(style.stone, 3 + static_cast<u32>(sx + 2 * sz + 3)));
        }
    }
    return base;
}

KitMesh makeTurret(const TowerStyle& style)
{
    KitMesh turret;
    turret.name = "Turret";
    const f32 bottom = -0.32f, deck = -0.1f;
    addCylinder(turret, {0, bottom, 0}, {0, deck, 0}, style.drumRadius, style.drumRadius, 20, style.turret);
    addCylinder(turret, {0, deck, 0}, {0, deck + 0.03f, 0}, style.drumRadius - 0.05f, style.drumRadius - 0.08f, 20,
                shade(style.turret, 7));
    // Cheek plates either side of the barrel, carrying its trunnions at the pivot.
    for (f32 side : {-1.0f, 1.0f}) {
        f32 z0 = side * style.cheekGap, z1 = side * (style.cheekGap + 0.1f);
        addBox(turret, {-0.3f, deck, std::min(z0, z1)}, {0.3f, 0.3f, std::max(z0, z1)}, style.turret);
    }
    return turret;
}

// The axle through the pivot on which a barrel turns, reaching into both cheeks.
void addTrunnions(KitMesh& barrel, f32 cheekGap, f32 radius, glm::vec4 color)
{
    addCylinder(barrel, {0, 0, -cheekGap - 0.12f}, {0, 0, cheekGap + 0.12f}, radius, radius, 10, color);
}

} // namespace

std::vector<KitMesh> makeCannonTower()
{
    const TowerStyle style{Palette::stoneLight, Palette::bannerBlue, Palette::steelBlue, 0.58f, 0.21f};
    // A long, slender barrel tapering to a swelled muzzle: the cannon reaches 1.85
    // ahead of its pivot, almost the width of its footprint.
    KitMesh barrel;
    barrel.name = "Cannon";
    addCylinder(barrel, {-0.3f, 0, 0}, {1.7f, 0, 0}, 0.17f, 0.13f, 16, Palette::iron);
    addCylinder(barrel, {0.28f, 0, 0}, {0.38f, 0, 0}, 0.185f, 0.18f, 16, shade(Palette::iron, 3));
    addCylinder(barrel, {1.0f, 0, 0}, {1.07f, 0, 0}, 0.155f, 0.155f, 16, shade(Palette::iron, 3));
    addCylinder(barrel, {1.62f, 0, 0}, {1.85f, 0, 0}, 0.15f, 0.17f, 16, Palette::iron);
    addCylinder(barrel, {1.85f, 0, 0}, {1.855f, 0, 0}, 0.1f, 0.1f, 16, Palette::bore);
    addEllipsoid(barrel, {-0.32f, 0, 0}, {0.12f, 0.13f, 0.13f}, 6, 12, Palette::iron);
    addTrunnions(barrel, style.cheekGap, 0.07f, Palette::iron);
    return {makeBase(style), makeTurret(style), barrel};
}

std::vector<KitMesh> makeMortarTower()
{
    const TowerStyle style{Palette::sandstone, Palette::roofRed, Palette::brick, 0.64f, 0.44f};
    // A short, wide bronze tube with a heavy lip: the mortar lobs its bombs, so its
    // barrel rests almost upright and barely reaches past the turret.
    KitMesh barrel;
    barrel.name = "Cannon";
    addEllipsoid(barrel, {-0.22f, 0, 0}, {0.2f, 0.3f, 0.3f}, 6, 14, Palette::bronze);
    addCylinder(barrel, {-0.22f, 0, 0}, {0.52f, 0, 0}, 0.3f, 0.34f, 20, Palette::bronze);
    addCylinder(barrel, {0.04f, 0, 0}, {0.13f, 0, 0}, 0.355f, 0.355f, 20, Palette::bronzeDark);
    addCylinder(barrel, {0.5f, 0, 0}, {0.66f, 0, 0}, 0.4f, 0.4f, 20, Palette::bronze);
    addCylinder(barrel, {0.66f, 0, 0}, {0.665f, 0, 0}, 0.28f, 0.28f, 20, Palette::bore);
    addTrunnions(barrel, style.cheekGap, 0.09f, Palette::bronzeDark);
    return {makeBase(style), makeTurret(style), barrel};
}
