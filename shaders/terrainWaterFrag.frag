#version 450

// Low ground for the water's refraction: lit like the terrain, but the light that
// reaches ground below the sea has crossed the water above it (absorbed, red first)
// and is focused into drifting caustics. No haze: the water adds its own along the view.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "sky.glsl"
#include "shadowBlock.glsl"

CAMERA_BLOCK(0, 0)
SKY_PARAMS_BLOCK(0, 1)

// The water's parameters (164 bytes); the prepass reads the absorption and the time.
layout(set = 0, binding = 2) uniform WaterParamsBlock {
    mat4 inverseViewProjection;
    vec3 rgbScatter;
    float pad0;
    vec3 rgbAbsorption;
    float pad1;
    vec2 prepassScale;
    float absorptionFactor;
    float time;
    float timeMultiplier;
    float sizeScaling;
    float heightScaling;
    int iterations;
    float offsetWeight;
    float heightWeight;
    float phaseWeight;
    float speedWeight;
    float dxMul;
    float density;
    float depth;
    float refractiveStrength;
    int mainRaySteps;
} water;

SHADOW_BLOCK(0, 3)
layout(set = 0, binding = 5) uniform sampler2DArrayShadow shadowMap;

#include "shadow.glsl"
#include "terrain.glsl"

layout(location = 0) in vec3 inWorldPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec3 inColor;

layout(location = 0) out vec4 outColor;

const int SHADOW_TAPS = 2;
const float CAUSTIC_STRENGTH = 1.5;

void main()
{
    vec3 normal = normalize(inNormal);
    vec3 sunDirection = normalize(sky.sunDirection);
    vec3 toPoint = inWorldPosition - camera.position;

    float cosine = dot(normal, sunDirection);
    float lit = 0.0;
    if (cosine > 0.0) {
        float viewDepth = dot(toPoint, camera.forward);
        lit = cascadedShadow(shadowMap, inWorldPosition, viewDepth, camera.nearPlane, cosine, SHADOW_TAPS, false);
    }

    float waterDepth = max(-seaAltitude(inWorldPosition, sky.planetRadius), 0.0);
    float focus = caustics(inWorldPosition.xz, water.time * water.timeMultiplier);
    focus *= smoothstep(0.0, 1.5, waterDepth) * exp(-waterDepth * 0.08);

    vec3 sunLight = sunlightThroughAir(sunDirection, sky.sunColor, sky.rgbScatter, sky.atmosphereDensity);
    sunLight *= underwaterSunlight(sunDirection, waterDepth, water.rgbAbsorption, water.density);
    sunLight *= 1.0 + CAUSTIC_STRENGTH * focus;
    vec3 ambient = skyLight(sunDirection, sky.sunColor, sky.rgbScatter, sky.rayleighIntensity);
    ambient *= exp(-water.rgbAbsorption * water.density * waterDepth);

    outColor = vec4(shadeGround(inColor, normal, sunDirection, sunLight, ambient, lit), 1.0);
}
