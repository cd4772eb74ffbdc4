#version 450

// Cannonballs and bombs: dark iron with a faint band around the equator, so that a
// spinning ball shows its turn, lit and shadowed as the buildings are.
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

layout(location = 0) out vec4 outColor;

const vec3 IRON = vec3(0.09, 0.09, 0.1);
const vec3 BAND = vec3(0.2, 0.17, 0.12);

void main()
{
    float band = 1.0 - smoothstep(0.02, 0.05, abs(inUv.y - 0.5));
    vec3 albedo = mix(IRON, BAND, band);
    outColor = vec4(shadeBuilding(albedo, inWorldPosition, inNormal, shadowMap), 1.0);
}
