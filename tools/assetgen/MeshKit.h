#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>

#include <string>
#include <vector>

// A small kit for building the game's models out of primitive shapes. Everything is
// authored in the game's own coordinates (y up, a tower's barrel along +x); the glb
// writer converts to the file's axes. Triangles are counter-clockwise seen from
// outside, and every vertex carries its normal, colour and texture coordinate.

struct KitVertex {
    glm::vec3 position{0.0f};
    glm::vec3 normal{0.0f, 1.0f, 0.0f};
    glm::vec4 color{1.0f};
    glm::vec2 uv{0.0f}; // top-left origin, as the game samples textures
};

struct KitMesh {
    std::string name;
    bool colors = true;     // the file gets a COLOR_0 stream
    bool texcoords = false; // the file gets a TEXCOORD_0 stream
    std::vector<KitVertex> vertices;
    std::vector<u32> indices;
};

// A flat-shaded quad, corners counter-clockwise seen from its front.
void addQuad(KitMesh& mesh, glm::vec3 a, glm::vec3 b, glm::vec3 c, glm::vec3 d, glm::vec4 color);
// An axis-aligned box between two corners.
void addBox(KitMesh& mesh, glm::vec3 min, glm::vec3 max, glm::vec4 color);

// A frustum from `from` to `to` with smooth sides and flat end caps: a cylinder when
// the radii agree, a cone when `radiusTo` is 0 (no cap there then).
void addCylinder(KitMesh& mesh, glm::vec3 from, glm::vec3 to, f32 radiusFrom, f32 radiusTo, u32 sides,
                 glm::vec4 color);

// A smooth ellipsoid.
void addEllipsoid(KitMesh& mesh, glm::vec3 centre, glm::vec3 radii, u32 rings, u32 segments, glm::vec4 color);

// A flat-shaded arch ring in the x-y plane, between z = zMin and z = zMax: the band
// between an inner and an outer half ellipse that rise from `springY` (half widths
// along x, rises along y), from the right foot (angle 0) over the top to the left foot.
struct ArchShape {
    f32 springY = 0.0f;
    f32 innerHalfWidth = 1.0f;
    f32 innerRise = 1.0f;
    f32 outerHalfWidth = 1.5f;
    f32 outerRise = 1.5f;
    f32 zMin = -0.5f;
    f32 zMax = 0.5f;
    u32 segments = 16;
};
void addArch(KitMesh& mesh, const ArchShape& arch, glm::vec4 color);
// The point at `angle` (0 right foot, pi left foot) on the arch's inner edge.
glm::vec2 archInnerPoint(const ArchShape& arch, f32 angle);

// Battlement blocks along x or z: merlons of `length` with `gap` between them, centred
// on the run from `start` to `end` (which differ in x or in z only).
void addMerlonsAlong(KitMesh& mesh, glm::vec3 start, glm::vec3 end, f32 thickness, f32 height, f32 length,
                     f32 gap, glm::vec4 color);

// Texture coordinates by box projection over the mesh's bounds: each vertex is
// projected along the axis its normal points along most, so every face shows an
// undistorted part of one image, with v = 0 at the top.
void projectTexcoords(KitMesh& mesh);

// A stone colour varied a little by `seed`, so neighbouring blocks read apart.
glm::vec4 shade(glm::vec4 color, u32 seed);

// Lowest and highest corner of the mesh's vertices.
void meshBounds(const KitMesh& mesh, glm::vec3& min, glm::vec3& max);
