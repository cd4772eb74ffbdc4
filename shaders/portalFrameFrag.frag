#version 450

// A portal's frame: the stone texture lit like every building.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "sky.glsl"
#include "shadowBlock.glsl"

CAMERA_BLOCK(0, 0)
SKY_PARAMS_BLOCK(0, 1)
SHADOW_BLOCK(0, 2)
layout(set = 0, binding = 3) uniform sampler2DArrayShadow shadowMap;
layout(set = 2, binding = 5) uniform sampler2D frameColor;

#include "shadow.glsl"
#include "terrain.glsl"
#include "building.glsl"

layout(location = 0) in vec3 inWorldPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inUv;

layout(location = 0) out vec4 outColor;

void main()
{
    vec3 albedo = texture(frameColor, inUv).rgb;
    outColor = vec4(shadeBuilding(albedo, inWorldPosition, inNormal, shadowMap), 1.0);
}
