#version 450

// Terrain, optimised: the sun and sky light, which are the same over a triangle, and
// the haze are worked out per vertex from the sun direction and built-in sky values.
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
layout(location = 1) out vec3 outSunColor;   // albedo x direct sunlight, before shadowing
layout(location = 2) out vec3 outSkyColor;   // albedo x sky light, hazed
layout(location = 3) out float outCosine;    // normal . sun
layout(location = 4) out float outHaze;      // haze amount, for the shadowed part too

void main()
{
    vec4 world = chunk.model * vec4(inPosition, 1.0);
    vec3 sunDirection = normalize(sun.sunDirection);
    vec3 toPoint = world.xyz - camera.position;
    float distance = length(toPoint);

    vec3 sunLight = sunlightThroughAir(sunDirection, DEFAULT_SUN_COLOR, DEFAULT_SCATTER, DEFAULT_ATMOSPHERE_DENSITY);
    vec3 ambient = skyLight(sunDirection, DEFAULT_SUN_COLOR, DEFAULT_SCATTER, DEFAULT_RAYLEIGH);
    float cosine = dot(inNormal, sunDirection);
    float haze = hazeAmount(distance, DEFAULT_ATMOSPHERE_DENSITY, DEFAULT_ATMOSPHERE_THICKNESS);
    vec3 hazeLight = hazeColor(toPoint / max(distance, 1e-4), sunDirection, sunLight, ambient, DEFAULT_MIE);

    outWorldPosition = world.xyz;
    outSunColor = inColor.rgb * sunLight * max(cosine, 0.0) * (1.0 - haze);
    outSkyColor = mix(shadeGround(inColor.rgb, inNormal, sunDirection, vec3(0.0), ambient, 0.0), hazeLight, haze);
    outCosine = cosine;
    outHaze = haze;
    gl_Position = camera.viewProjection * world;
}
