#include "ModelShapes.h"
#include "Palette.h"

#include <glm/gtc/constants.hpp>

#include <algorithm>

namespace {

// A run of masonry blocks along x between x0 and x1 (block joints every `block`,
// shifted by `shift`), each block a little lighter or darker than its neighbours.
void addCourse(KitMesh& mesh, f32 x0, f32 x1, f32 y0, f32 y1, f32 z0, f32 z1, f32 block, f32 shift,
               glm::vec4 color, u32 seed)
{
    f32 x = x0;
    f32 next = shift > 0.0f ? x0 + shift : x0 + block;
    u32 index = 0;
    while (x < x1 - 1e-4f) {
        f32 end = next < x1 ? next : x1;
        addBox(mesh, {x, y0, z0}, {end, y1, z1}, shade(color, seed * 131u + index++));
        x = end;
        next = x + block;
    }
}

} // namespace

std::vector<KitMesh> makeWall()
{
    KitMesh wall;
    wall.name = "Wall";
    const f32 hx = Footprint::wallX * 0.5f, hz = Footprint::wallZ * 0.5f;
    const f32 top = Footprint::wallSteps * Heights::step; // 2.0
    const f32 walk = top - 0.45f;

    addBox(wall, {-hx, -Heights::foundation, -hz}, {hx, 0.0f, hz}, Palette::stoneDark);
    // Three courses of blocks with staggered joints; the wall spans its whole cell run,
    // so neighbouring walls join without a seam.
    const f32 courses[4] = {0.0f, 0.5f, 1.0f, walk};
    for (u32 c = 0; c < 3; c++) {
        addCourse(wall, -hx, hx, courses[c], courses[c + 1], -hz, hz, 1.0f, c % 2 ? 0.5f : 0.0f, Palette::stoneLight,
                  c + 1);
    }
    // The wall walk between two parapets of merlons; the gaps fall on the cell ends so
    // that a row of walls keeps the rhythm.
    addBox(wall, {-hx, walk, -hz + 0.24f}, {hx, walk + 0.04f, hz - 0.24f}, Palette::stoneMid);
    for (f32 side : {-1.0f, 1.0f}) {
        f32 z = side * (hz - 0.12f);
        addMerlonsAlong(wall, {-hx, walk, z}, {hx, walk, z}, 0.24f, top - walk, 0.5f, 0.5f, Palette::stoneLight);
    }
    return {wall};
}

std::vector<KitMesh> makeCastle()
{
    KitMesh castle;
    castle.name = "Castle";
    const f32 half = Footprint::castleX * 0.5f; // 4.0
    const f32 floor = 0.1f;
    const f32 wallTop = 2.0f;
    const f32 wallInner = half - 0.7f, wallOuter = half - 0.1f;
    const f32 towerCentre = half - 0.95f, towerRadius = 0.85f;

    // Plinth and courtyard.
    addBox(castle, {-half, -Heights::foundation, -half}, {half, floor, half}, Palette::stoneDark);
    addBox(castle, {-wallInner, floor, -wallInner}, {wallInner, floor + 0.03f, wallInner}, Palette::courtyard);

    // Curtain walls between the corner towers, crenellated on the outer edge.
    const f32 run = towerCentre;
    for (f32 side : {-1.0f, 1.0f}) {
        f32 lo = side > 0 ? wallInner : -wallOuter, hi = side > 0 ? wallOuter : -wallInner;
        f32 edge = side * (wallOuter - 0.15f);
        addBox(castle, {-run, floor, lo}, {run, wallTop, hi}, shade(Palette::stoneLight, side > 0 ? 1 : 2));
        addBox(castle, {lo, floor, -run}, {hi, wallTop, run}, shade(Palette::stoneLight, side > 0 ? 3 : 4));
        addMerlonsAlong(castle, {-run + 0.6f, wallTop, edge}, {run - 0.6f, wallTop, edge}, 0.3f, 0.38f, 0.36f, 0.3f,
                        Palette::stoneLight);
        addMerlonsAlong(castle, {edge, wallTop, -run + 0.6f}, {edge, wallTop, run - 0.6f}, 0.3f, 0.38f, 0.36f, 0.3f,
                        Palette::stoneLight);
    }

    // The gate on the +x side: a wooden door under a stone lintel between two jambs.
    addBox(castle, {wallOuter, floor, -0.55f}, {wallOuter + 0.05f, 1.35f, 0.55f}, Palette::wood);
    addBox(castle, {wallOuter, floor, -0.75f}, {wallOuter + 0.08f, 1.55f, -0.55f}, Palette::stoneMid);
    addBox(castle, {wallOuter, floor, 0.55f}, {wallOuter + 0.08f, 1.55f, 0.75f}, Palette::stoneMid);
    addBox(castle, {wallOuter, 1.35f, -0.75f}, {wallOuter + 0.08f, 1.55f, 0.75f}, Palette::stoneMid);

    // Round corner towers with a cornice and a red conical roof.
    for (f32 sx : {-1.0f, 1.0f}) {
        for (f32 sz : {-1.0f, 1.0f}) {
            glm::vec3 c(sx * towerCentre, floor, sz * towerCentre);
            addCylinder(castle, c, c + glm::vec3(0, 2.9f, 0), towerRadius, towerRadius, 16, Palette::stoneLight);
            addCylinder(castle, c + glm::vec3(0, 2.75f, 0), c + glm::vec3(0, 3.0f, 0), 0.93f, 0.93f, 16,
                        Palette::stoneMid);
            addCylinder(castle, c + glm::vec3(0, 3.0f, 0), c + glm::vec3(0, 4.6f, 0), 0.95f, 0.0f, 16,
                        Palette::roofRed);
            // An arrow slit looking outwards.
            glm::vec3 out = glm::normalize(glm::vec3(sx, 0, sz)) * (towerRadius - 0.02f);
            glm::vec3 s = c + out + glm::vec3(0, 1.6f, 0);
            addBox(castle, s - glm::vec3(0.09f, 0.28f, 0.09f), s + glm::vec3(0.09f, 0.28f, 0.09f), Palette::opening);
        }
    }

    // The keep: a tall block with windows, a crenellated top and the banner.
    const f32 keep = 1.4f, keepTop = 3.4f;
    addBox(castle, {-keep, floor, -keep}, {keep, keepTop, keep}, shade(Palette::stoneLight, 9));
    // A cornice band a little below the top, so that no face lies in the keep's roof.
    addBox(castle, {-keep - 0.08f, keepTop - 0.3f, -keep - 0.08f}, {keep + 0.08f, keepTop - 0.14f, keep + 0.08f},
           Palette::stoneMid);
    for (f32 side : {-1.0f, 1.0f}) {
        f32 edge = side * (keep - 0.05f);
        addMerlonsAlong(castle, {-keep, keepTop, edge}, {keep, keepTop, edge}, 0.26f, 0.36f, 0.34f, 0.3f,
                        Palette::stoneLight);
        addMerlonsAlong(castle, {edge, keepTop, -keep + 0.3f}, {edge, keepTop, keep - 0.3f}, 0.26f, 0.36f, 0.34f,
                        0.3f, Palette::stoneLight);
        for (f32 along : {-0.6f, 0.6f}) {
            addBox(castle, {along - 0.16f, 2.1f, side * keep - 0.03f}, {along + 0.16f, 2.7f, side * keep + 0.03f},
                   Palette::opening);
            addBox(castle, {side * keep - 0.03f, 2.1f, along - 0.16f}, {side * keep + 0.03f, 2.7f, along + 0.16f},
                   Palette::opening);
        }
    }
    addBox(castle, {keep, floor, -0.32f}, {keep + 0.04f, 1.05f, 0.32f}, Palette::wood);
    addCylinder(castle, {0, keepTop, 0}, {0, 5.0f, 0}, 0.05f, 0.04f, 8, Palette::wood);
    addBox(castle, {0.04f, 4.42f, -0.025f}, {0.9f, 4.95f, 0.025f}, Palette::bannerBlue);
    return {castle};
}

std::vector<KitMesh> makePortal()
{
    const f32 halfX = Footprint::portalX * 0.5f; // 3.0
    const f32 ground = 0.15f;                    // top of the threshold slab
    ArchShape arch;
    arch.springY = 4.0f;
    arch.innerHalfWidth = 2.0f;
    arch.innerRise = 1.7f;
    arch.outerHalfWidth = halfX;
    arch.outerRise = Footprint::portalSteps * Heights::step - arch.springY; // top at 6.4
    arch.zMin = -0.6f;
    arch.zMax = 0.6f;
    arch.segments = 18;

    // The stone frame; its colour comes from the frame texture, so it carries texture
    // coordinates and no colours.
    KitMesh frame;
    frame.name = "PortalFrame";
    frame.colors = false;
    frame.texcoords = true;
    const glm::vec4 white(1.0f);
    addBox(frame, {-halfX, -Heights::foundation, -0.9f}, {halfX, ground, 0.9f}, white);
    for (f32 side : {-1.0f, 1.0f}) {
        f32 inner = side * arch.innerHalfWidth, outer = side * arch.outerHalfWidth;
        f32 lo = std::min(inner, outer), hi = std::max(inner, outer);
        // Plinth and capital stand out of the pillar, but not out of the footprint.
        auto clampX = [&](f32 x) { return std::clamp(x, -halfX, halfX); };
        addBox(frame, {lo, ground, arch.zMin}, {hi, arch.springY, arch.zMax}, white);
        addBox(frame, {clampX(lo - 0.12f), ground, arch.zMin - 0.12f},
               {clampX(hi + 0.12f), ground + 0.45f, arch.zMax + 0.12f}, white);
        addBox(frame, {clampX(lo - 0.08f), arch.springY - 0.3f, arch.zMin - 0.08f},
               {clampX(hi + 0.08f), arch.springY, arch.zMax + 0.08f}, white);
    }
    addArch(frame, arch, white);
    const f32 crown = arch.springY + arch.outerRise;
    addBox(frame, {-0.32f, crown - 1.0f, arch.zMin - 0.1f}, {0.32f, crown + 0.12f, arch.zMax + 0.1f}, white);
    projectTexcoords(frame);

    // The shimmering surface that fills the opening, seen from both sides: a fan
    // around a bright core fading to a deep violet rim.
    KitMesh surface;
    surface.name = "Portal";
    surface.colors = true;
    surface.texcoords = true;
    std::vector<glm::vec2> rim;
    rim.push_back({-arch.innerHalfWidth, ground});
    rim.push_back({arch.innerHalfWidth, ground});
    for (u32 k = 0; k <= arch.segments; k++) {
        rim.push_back(archInnerPoint(arch, glm::pi<f32>() * static_cast<f32>(k) / static_cast<f32>(arch.segments)));
    }
    const f32 top = arch.springY + arch.innerRise;
    auto surfaceVertex = [&](glm::vec2 p, glm::vec4 color, f32 facing) {
        KitVertex v;
        v.position = {p.x, p.y, 0.0f};
        v.normal = {0.0f, 0.0f, facing};
        v.color = color;
        v.uv = {(p.x + arch.innerHalfWidth) / (2.0f * arch.innerHalfWidth), 1.0f - (p.y - ground) / (top - ground)};
        return v;
    };
    const glm::vec2 core(0.0f, (ground + top) * 0.5f);
    for (f32 facing : {1.0f, -1.0f}) {
        u32 centre = static_cast<u32>(surface.vertices.size());
        surface.vertices.push_back(surfaceVertex(core, Palette::portalCore, facing));
        for (glm::vec2 p : rim) {
            surface.vertices.push_back(surfaceVertex(p, Palette::portalEdge, facing));
        }
        // The rim runs counter-clockwise seen from +z.
        u32 count = static_cast<u32>(rim.size());
        for (u32 i = 0; i < count; i++) {
            u32 a = centre + 1 + i, b = centre + 1 + (i + 1) % count;
            if (facing > 0) {
                surface.indices.insert(surface.indices.end(), {centre, a, b});
            } else {
                surface.indices.insert(surface.indices.end(), {centre, b, a});
            }
        }
    }
    return {frame, surface};
}
