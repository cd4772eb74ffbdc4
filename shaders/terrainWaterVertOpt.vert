#version 450

// Low ground for the water's refraction, optimised: sun, sky and the water column's
// absorption per vertex from the sun direction and built-in sky and water values.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "sky.glsl"
#include "terrain.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec4 inColor;

CAMERA_BLOCK(0, 0)
SUN_BLOCK(0, 1)
CHUNK_BLOCK(1, 4)

layout(location = 0) out vec3 outWorldPosition;
layout(location = 1) out vec3 outSunColor; // albedo x direct sunlight, before shadowing
layout(location = 2) out vec3 outSkyColor; // albedo x sky light
layout(location = 3) out float outCosine;

void main()
{
    vec4 world = chunk.model * vec4(inPosition, 1.0);
    vec3 sunDirection = normalize(sun.sunDirection);
    float waterDepth = max(-seaAltitude(world.xyz, DEFAULT_PLANET_RADIUS), 0.0);

    vec3 sunLight = sunlightThroughAir(sunDirection, DEFAULT_SUN_COLOR, DEFAULT_SCATTER, DEFAULT_ATMOSPHERE_DENSITY);
    sunLight *= underwaterSunlight(sunDirection, waterDepth, DEFAULT_WATER_ABSORPTION, DEFAULT_WATER_DENSITY);
    vec3 ambient = skyLight(sunDirection, DEFAULT_SUN_COLOR, DEFAULT_SCATTER, DEFAULT_RAYLEIGH);
    ambient *= exp(-DEFAULT_WATER_ABSORPTION * DEFAULT_WATER_DENSITY * waterDepth);
    float cosine = dot(inNormal, sunDirection);

    outWorldPosition = world.xyz;
    outSunColor = inColor.rgb * sunLight * max(cosine, 0.0);
    outSkyColor = shadeGround(inColor.rgb, inNormal, sunDirection, vec3(0.0), ambient, 0.0);
    outCosine = cosine;
    gl_Position = camera.viewProjection * world;
}
