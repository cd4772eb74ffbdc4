#version 450

// Low ground for the water's refraction, optimised: the vertex stage's light terms
// with a 2 x 2 shadow lookup.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "shadowBlock.glsl"

CAMERA_BLOCK(0, 0)
SHADOW_BLOCK(0, 3)
layout(set = 0, binding = 5) uniform sampler2DArrayShadow shadowMap;

#include "shadow.glsl"

layout(location = 0) in vec3 inWorldPosition;
layout(location = 1) in vec3 inSunColor;
layout(location = 2) in vec3 inSkyColor;
layout(location = 3) in float inCosine;

layout(location = 0) out vec4 outColor;

const int SHADOW_TAPS = 2;

void main()
{
    float lit = 0.0;
    if (inCosine > 0.0) {
        float viewDepth = dot(inWorldPosition - camera.position, camera.forward);
        lit = cascadedShadow(shadowMap, inWorldPosition, viewDepth, camera.nearPlane, inCosine, SHADOW_TAPS, false);
    }
    outColor = vec4(inSkyColor + inSunColor * lit, 1.0);
}
