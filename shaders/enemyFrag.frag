#version 450

// Enemies as creatures in a box: a dark hide in the kind's colour (a mossy green for
// the quick normal enemy, a deep red-brown for the heavy one), darker legs and a pale
// belly band, and a pair of glowing eyes near the top of every side, lit by the sun
// with cascaded shadows and the sky like the buildings around them.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "sky.glsl"
#include "shadowBlock.glsl"

CAMERA_BLOCK(0, 0)
SKY_PARAMS_BLOCK(0, 1)
SHADOW_BLOCK(0, 2)
layout(set = 0, binding = 3) uniform sampler2DArrayShadow shadowMap;

#include "shadow.glsl"
#include "terrain.glsl"
#include "building.glsl"

layout(location = 0) in vec3 inWorldPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inUv;
layout(location = 3) in float inHeight;
layout(location = 4) flat in float inHeavy;

layout(location = 0) out vec4 outColor;

const vec3 NORMAL_HIDE = vec3(0.16, 0.22, 0.08);
const vec3 HEAVY_HIDE = vec3(0.26, 0.07, 0.05);
const vec3 NORMAL_EYES = vec3(1.0, 0.85, 0.2);
const vec3 HEAVY_EYES = vec3(1.0, 0.3, 0.05);

// 1 inside a round eye of radius r around c (face coordinates), softened at its rim.
float eye(vec2 uv, vec2 c, float r)
{
    return 1.0 - smoothstep(r * 0.75, r, length(uv - c));
}

void main()
{
    vec3 hide = mix(NORMAL_HIDE, HEAVY_HIDE, inHeavy);
    vec3 normal = normalize(inNormal);
    bool side = abs(normal.y) < 0.5;

    // Legs: the lowest quarter, darker, split in two by a gap in the middle of a side.
    vec3 albedo = hide;
    if (side && inHeight < 0.25) {
        albedo *= 0.45;
        if (abs(inUv.x - 0.5) < 0.08) albedo *= 0.4;
    }
    // A paler belly band between legs and chest.
    if (side && inHeight >= 0.25 && inHeight < 0.4) albedo = mix(albedo, vec3(0.55, 0.5, 0.4), 0.35);

    vec3 color = shadeBuilding(albedo, inWorldPosition, normal, shadowMap);

    // Eyes glow on every side, near the top (v runs from the top of a face down).
    if (side) {
        float size = mix(0.09, 0.07, inHeavy);
        float top = mix(0.2, 0.22, inHeavy);
        float eyes = max(eye(inUv, vec2(0.32, top), size), eye(inUv, vec2(0.68, top), size));
        color = mix(color, mix(NORMAL_EYES, HEAVY_EYES, inHeavy), eyes);
    }
    outColor = vec4(color, 1.0);
}
