#version 450

// A portal's surface: a glowing whirl that turns and pulses with the running time,
// its own light (the sun does not shade it), in the haze of the distance.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "sky.glsl"

CAMERA_BLOCK(0, 0)
SKY_PARAMS_BLOCK(0, 1)

#include "terrain.glsl"

layout(push_constant) uniform Time {
    float timeMs;
} time;

layout(location = 0) in vec3 inWorldPosition;
layout(location = 1) in vec3 inColor;
layout(location = 2) in vec2 inUv;

layout(location = 0) out vec4 outColor;

void main()
{
    // Seconds, wrapped so that the whirl keeps its precision in a long session.
    float t = mod(time.timeMs * 0.001, 3600.0);
    vec2 p = (inUv - vec2(0.5, 0.55)) * vec2(1.0, 1.4);
    float radius = length(p);
    float angle = atan(p.y, p.x);
    float arms = sin(angle * 3.0 + radius * 14.0 - t * 2.5);
    float ripples = sin(radius * 26.0 - t * 4.0);
    float swirl = 0.5 + 0.3 * arms + 0.2 * ripples;
    float pulse = 0.85 + 0.15 * sin(t * 1.7);
    vec3 glow = mix(inColor, vec3(0.95, 0.8, 1.0), smoothstep(0.55, 1.0, swirl) * (1.0 - radius));
    vec3 color = glow * (0.55 + 0.6 * swirl) * pulse;

    vec3 toPoint = inWorldPosition - camera.position;
    float distance = length(toPoint);
    vec3 sunDirection = normalize(sky.sunDirection);
    vec3 sunLight = sunlightThroughAir(sunDirection, sky.sunColor, sky.rgbScatter, sky.atmosphereDensity);
    vec3 ambient = skyLight(sunDirection, sky.sunColor, sky.rgbScatter, sky.rayleighIntensity);
    vec3 haze = hazeColor(toPoint / max(distance, 1e-4), sunDirection, sunLight, ambient, sky.mieIntensity);
    outColor = vec4(mix(color, haze, hazeAmount(distance, sky.atmosphereDensity, sky.atmosphereThickness)), 1.0);
}
