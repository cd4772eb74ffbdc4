#version 450

// Terrain: vertex colours lit by the sun through the atmosphere with soft cascaded
// shadows, the sky's ambient light, and haze towards the sky's colour with distance.
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

layout(location = 0) in vec3 inWorldPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec3 inColor;

layout(location = 0) out vec4 outColor;

const int SHADOW_TAPS = 4;

void main()
{
    vec3 normal = normalize(inNormal);
    vec3 sunDirection = normalize(sky.sunDirection);
    vec3 toPoint = inWorldPosition - camera.position;
    float distance = length(toPoint);

    float cosine = dot(normal, sunDirection);
    float lit = 0.0;
    if (cosine > 0.0) {
        float viewDepth = dot(toPoint, camera.forward);
        lit = cascadedShadow(shadowMap, inWorldPosition, viewDepth, camera.nearPlane, cosine, SHADOW_TAPS, true);
    }

    vec3 sunLight = sunlightThroughAir(sunDirection, sky.sunColor, sky.rgbScatter, sky.atmosphereDensity);
    vec3 ambient = skyLight(sunDirection, sky.sunColor, sky.rgbScatter, sky.rayleighIntensity);
    vec3 color = shadeGround(inColor, normal, sunDirection, sunLight, ambient, lit);

    vec3 haze = hazeColor(toPoint / max(distance, 1e-4), sunDirection, sunLight, ambient, sky.mieIntensity);
    color = mix(color, haze, hazeAmount(distance, sky.atmosphereDensity, sky.atmosphereThickness));
    outColor = vec4(color, 1.0);
}
