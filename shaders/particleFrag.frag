#version 450

// Smoke puffs: grey blobs lit softly by the sun (light wraps around them) and by the
// sky, thinner at their rims, in the haze of the distance; they blend over the scene.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "sky.glsl"

CAMERA_BLOCK(0, 0)
SKY_PARAMS_BLOCK(0, 1)

#include "terrain.glsl"

layout(location = 0) in vec3 inWorldPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec3 inColor;
layout(location = 3) in float inOpacity;

layout(location = 0) out vec4 outColor;

// A puff of the bomb's opacity (0.2 at the start) reads as a thick cloud.
const float OPACITY_GAIN = 2.5;

void main()
{
    vec3 normal = normalize(inNormal);
    vec3 sunDirection = normalize(sky.sunDirection);
    vec3 toPoint = inWorldPosition - camera.position;
    float distance = length(toPoint);
    vec3 viewDirection = toPoint / max(distance, 1e-4);

    vec3 sunLight = sunlightThroughAir(sunDirection, sky.sunColor, sky.rgbScatter, sky.atmosphereDensity);
    vec3 ambient = skyLight(sunDirection, sky.sunColor, sky.rgbScatter, sky.rayleighIntensity);
    float wrapped = dot(normal, sunDirection) * 0.5 + 0.5;
    vec3 color = inColor * (ambient + sunLight * wrapped * 0.8);
    vec3 haze = hazeColor(viewDirection, sunDirection, sunLight, ambient, sky.mieIntensity);
    color = mix(color, haze, hazeAmount(distance, sky.atmosphereDensity, sky.atmosphereThickness));

    float facing = abs(dot(normal, viewDirection));
    float alpha = clamp(inOpacity * OPACITY_GAIN * (0.35 + 0.65 * facing), 0.0, 1.0);
    outColor = vec4(color, alpha);
}
