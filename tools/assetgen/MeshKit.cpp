#include "MeshKit.h"

#include <glm/gtc/constants.hpp>

#include <algorithm>
#include <cmath>

namespace {

void pushTriangle(KitMesh& mesh, const KitVertex& a, const KitVertex& b, const KitVertex& c)
{
    u32 base = static_cast<u32>(mesh.vertices.size());
    mesh.vertices.push_back(a);
    mesh.vertices.push_back(b);
    mesh.vertices.push_back(c);
    mesh.indices.insert(mesh.indices.end(), {base, base + 1, base + 2});
}

KitVertex vertex(glm::vec3 position, glm::vec3 normal, glm::vec4 color)
{
    KitVertex v;
    v.position = position;
    v.normal = normal;
    v.color = color;
    return v;
}

glm::vec3 faceNormal(glm::vec3 a, glm::vec3 b, glm::vec3 c)
{
    glm::vec3 n = glm::cross(b - a, c - a);
    f32 length = glm::length(n);
    return length > 0.0f ? n / length : glm::vec3(0.0f, 1.0f, 0.0f);
}

// A quad whose four vertices carry their own normals, wound so that it faces `outward`.
void orientedQuad(KitMesh& mesh, KitVertex a, KitVertex b, KitVertex c, KitVertex d, glm::vec3 outward)
{
    if (glm::dot(glm::cross(b.position - a.position, c.position - a.position), outward) < 0.0f) {
        std::swap(b, d);
    }
    pushTriangle(mesh, a, b, c);
    pushTriangle(mesh, a, c, d);
}

// A flat quad facing `outward`.
void flatQuad(KitMesh& mesh, glm::vec3 a, glm::vec3 b, glm::vec3 c, glm::vec3 d, glm::vec3 outward, glm::vec4 color)
{
    glm::vec3 n = faceNormal(a, b, c);
    if (glm::dot(n, outward) < 0.0f) {
        n = -n;
    }
    orientedQuad(mesh, vertex(a, n, color), vertex(b, n, color), vertex(c, n, color), vertex(d, n, color), outward);
}

// Two unit vectors that make a right-handed frame (e1, e2, axis).
void perpendicularFrame(glm::vec3 axis, glm::vec3& e1, glm::vec3& e2)
{
    glm::vec3 helper = std::abs(axis.y) < 0.9f ? glm::vec3(0, 1, 0) : glm::vec3(1, 0, 0);
    e1 = glm::normalize(glm::cross(helper, axis));
    e2 = glm::cross(axis, e1);
}

u32 hash(u32 x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

} // namespace

void addQuad(KitMesh& mesh, glm::vec3 a, glm::vec3 b, glm::vec3 c, glm::vec3 d, glm::vec4 color)
{
    glm::vec3 n = faceNormal(a, b, c);
    pushTriangle(mesh, vertex(a, n, color), vertex(b, n, color), vertex(c, n, color));
    pushTriangle(mesh, vertex(a, n, color), vertex(c, n, color), vertex(d, n, color));
}

void addBox(KitMesh& mesh, glm::vec3 min, glm::vec3 max, glm::vec4 color)
{
    glm::vec3 c = (min + max) * 0.5f;
    glm::vec3 h = (max - min) * 0.5f;
    glm::vec3 x(h.x, 0, 0), y(0, h.y, 0), z(0, 0, h.z);
    // Each face as (normal offset, u, v) with cross(u, v) along the outward normal, so
    // the corners -u-v, +u-v, +u+v, -u+v run counter-clockwise seen from outside.
    struct Face {
        glm::vec3 offset, u, v;
    };
    const Face faces[6] = {{x, y, z}, {-x, z, y}, {y, z, x}, {-y, x, z}, {z, x, y}, {-z, y, x}};
    for (const Face& f : faces) {
        glm::vec3 centre = c + f.offset;
        addQuad(mesh, centre - f.u - f.v, centre + f.u - f.v, centre + f.u + f.v, centre - f.u + f.v, color);
    }
}

void addCylinder(KitMesh& mesh, glm::vec3 from, glm::vec3 to, f32 radiusFrom, f32 radiusTo, u32 sides,
                 glm::vec4 color)
{
    glm::vec3 axis = to - from;
    f32 length = glm::length(axis);
    axis /= length;
    glm::vec3 e1, e2;
    perpendicularFrame(axis, e1, e2);
    auto direction = [&](f32 angle) { return std::cos(angle) * e1 + std::sin(angle) * e2; };
    auto sideNormal = [&](glm::vec3 d) { return glm::normalize(d * length + axis * (radiusFrom - radiusTo)); };

    const f32 step = glm::two_pi<f32>() / static_cast<f32>(sides);
    for (u32 i = 0; i < sides; i++) {
        f32 a0 = step * static_cast<f32>(i), a1 = step * static_cast<f32>(i + 1);
        glm::vec3 d0 = direction(a0), d1 = direction(a1), mid = direction((a0 + a1) * 0.5f);
        KitVertex p0 = vertex(from + d0 * radiusFrom, sideNormal(d0), color);
        KitVertex p1 = vertex(from + d1 * radiusFrom, sideNormal(d1), color);
        KitVertex p2 = vertex(to + d1 * radiusTo, sideNormal(d1), color);
        KitVertex p3 = vertex(to + d0 * radiusTo, sideNormal(d0), color);
        // The side runs counter-clockwise around the axis: (p0, p1, p2) faces outward.
        if (radiusTo <= 0.0f) {
            p2.normal = sideNormal(mid);
            pushTriangle(mesh, p0, p1, p2);
        } else if (radiusFrom <= 0.0f) {
            p0.normal = sideNormal(mid);
            pushTriangle(mesh, p0, p2, p3);
        } else {
            pushTriangle(mesh, p0, p1, p2);
            pushTriangle(mesh, p0, p2, p3);
        }
        if (radiusFrom > 0.0f) {
            pushTriangle(mesh, vertex(from, -axis, color), vertex(p1.position, -axis, color),
                         vertex(p0.position, -axis, color));
        }
        if (radiusTo > 0.0f) {
            pushTriangle(mesh, vertex(to, axis, color), vertex(p3.position, axis, color),
                         vertex(p2.position, axis, color));
        }
    }
}

void addEllipsoid(KitMesh& mesh, glm::vec3 centre, glm::vec3 radii, u32 rings, u32 segments, glm::vec4 color)
{
    auto point = [&](u32 ring, u32 segment) {
        f32 phi = glm::pi<f32>() * (static_cast<f32>(ring) / static_cast<f32>(rings) - 0.5f);
        f32 theta = glm::two_pi<f32>() * static_cast<f32>(segment) / static_cast<f32>(segments);
        glm::vec3 unit(std::cos(phi) * std::cos(theta), std::sin(phi), std::cos(phi) * std::sin(theta));
        glm::vec3 local = unit * radii;
        return vertex(centre + local, glm::normalize(local / (radii * radii)), color);
    };
    for (u32 r = 0; r < rings; r++) {
        for (u32 s = 0; s < segments; s++) {
            KitVertex a = point(r, s), b = point(r, s + 1), c = point(r + 1, s + 1), d = point(r + 1, s);
            glm::vec3 outward = (a.position + b.position + c.position + d.position) * 0.25f - centre;
            if (r == 0) {
                // The south pole: a and b coincide.
                if (glm::dot(glm::cross(c.position - a.position, d.position - a.position), outward) < 0.0f) {
                    std::swap(c, d);
                }
                pushTriangle(mesh, a, c, d);
            } else if (r + 1 == rings) {
                if (glm::dot(glm::cross(b.position - a.position, c.position - a.position), outward) < 0.0f) {
                    std::swap(a, b);
                }
                pushTriangle(mesh, a, b, c);
            } else {
                orientedQuad(mesh, a, b, c, d, outward);
            }
        }
    }
}

glm::vec2 archInnerPoint(const ArchShape& arch, f32 angle)
{
    return {arch.innerHalfWidth * std::cos(angle), arch.springY + arch.innerRise * std::sin(angle)};
}

void addArch(KitMesh& mesh, const ArchShape& arch, glm::vec4 color)
{
    auto outerPoint = [&](f32 angle) {
        return glm::vec2(arch.outerHalfWidth * std::cos(angle), arch.springY + arch.outerRise * std::sin(angle));
    };
    auto at = [](glm::vec2 p, f32 z) { return glm::vec3(p.x, p.y, z); };
    const glm::vec2 spring(0.0f, arch.springY);
    for (u32 k = 0; k < arch.segments; k++) {
        f32 a0 = glm::pi<f32>() * static_cast<f32>(k) / static_cast<f32>(arch.segments);
        f32 a1 = glm::pi<f32>() * static_cast<f32>(k + 1) / static_cast<f32>(arch.segments);
        glm::vec2 i0 = archInnerPoint(arch, a0), i1 = archInnerPoint(arch, a1);
        glm::vec2 o0 = outerPoint(a0), o1 = outerPoint(a1);
        flatQuad(mesh, at(i0, arch.zMax), at(o0, arch.zMax), at(o1, arch.zMax), at(i1, arch.zMax), {0, 0, 1}, color);
        flatQuad(mesh, at(i0, arch.zMin), at(o0, arch.zMin), at(o1, arch.zMin), at(i1, arch.zMin), {0, 0, -1}, color);
        glm::vec2 outward = (o0 + o1) * 0.5f - spring;
        flatQuad(mesh, at(o0, arch.zMin), at(o1, arch.zMin), at(o1, arch.zMax), at(o0, arch.zMax),
                 {outward.x, outward.y, 0}, color);
        glm::vec2 inward = spring - (i0 + i1) * 0.5f;
        flatQuad(mesh, at(i0, arch.zMin), at(i1, arch.zMin), at(i1, arch.zMax), at(i0, arch.zMax),
                 {inward.x, inward.y, 0}, color);
    }
    // The two feet, facing down onto whatever carries the arch.
    for (f32 angle : {0.0f, glm::pi<f32>()}) {
        glm::vec2 i = archInnerPoint(arch, angle), o = outerPoint(angle);
        flatQuad(mesh, at(i, arch.zMin), at(o, arch.zMin), at(o, arch.zMax), at(i, arch.zMax), {0, -1, 0}, color);
    }
}

void addMerlonsAlong(KitMesh& mesh, glm::vec3 start, glm::vec3 end, f32 thickness, f32 height, f32 length,
                     f32 gap, glm::vec4 color)
{
    glm::vec3 run = end - start;
    bool alongX = std::abs(run.x) >= std::abs(run.z);
    f32 total = alongX ? std::abs(run.x) : std::abs(run.z);
    glm::vec3 direction = alongX ? glm::vec3(run.x > 0 ? 1.0f : -1.0f, 0, 0) : glm::vec3(0, 0, run.z > 0 ? 1.0f : -1.0f);
    glm::vec3 across = alongX ? glm::vec3(0, 0, thickness * 0.5f) : glm::vec3(thickness * 0.5f, 0, 0);
    u32 count = static_cast<u32>(std::floor((total + gap) / (length + gap)));
    if (count == 0) {
        return;
    }
    f32 used = static_cast<f32>(count) * length + static_cast<f32>(count - 1) * gap;
    f32 offset = (total - used) * 0.5f;
    for (u32 i = 0; i < count; i++) {
        glm::vec3 a = start + direction * (offset + static_cast<f32>(i) * (length + gap));
        glm::vec3 b = a + direction * length;
        glm::vec3 lo = glm::min(a, b) - across;
        glm::vec3 hi = glm::max(a, b) + across + glm::vec3(0, height, 0);
        addBox(mesh, lo, hi, shade(color, static_cast<u32>(i) * 7919u + static_cast<u32>(std::abs(start.x * 131.0f + start.z * 17.0f))));
    }
}

void meshBounds(const KitMesh& mesh, glm::vec3& min, glm::vec3& max)
{
    min = glm::vec3(1e30f);
    max = glm::vec3(-1e30f);
    for (const KitVertex& v : mesh.vertices) {
        min = glm::min(min, v.position);
        max = glm::max(max, v.position);
    }
}

void projectTexcoords(KitMesh& mesh)
{
    glm::vec3 min, max;
    meshBounds(mesh, min, max);
    glm::vec3 extent = glm::max(max - min, glm::vec3(1e-6f));
    for (KitVertex& v : mesh.vertices) {
        glm::vec3 t = (v.position - min) / extent; // 0..1 in each axis
        glm::vec3 a = glm::abs(v.normal);
        if (a.z >= a.x && a.z >= a.y) {
            v.uv = {t.x, 1.0f - t.y};
        } else if (a.x >= a.y) {
            v.uv = {t.z, 1.0f - t.y};
        } else {
            v.uv = {t.x, t.z};
        }
    }
}

glm::vec4 shade(glm::vec4 color, u32 seed)
{
    f32 factor = 0.92f + 0.16f * static_cast<f32>(hash(seed) & 0xFFFF) / 65535.0f;
    return {glm::clamp(glm::vec3(color) * factor, glm::vec3(0.0f), glm::vec3(1.0f)), color.a};
}
