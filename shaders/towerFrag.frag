#version 450

// Buildings and tower parts: vertex colours lit by the sun with cascaded shadows and
// by the sky, in the haze of the distance.
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
layout(location = 2) in vec3 inColor;

layout(location = 0) out vec4 outColor;

void main()
{
    outColor = vec4(shadeBuilding(inColor, inWorldPosition, inNormal, shadowMap), 1.0);
}
