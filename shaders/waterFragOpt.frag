#version 450
#extension GL_GOOGLE_include_directive : require

// The sea with its parameters built in: fewer waves and steps, and a sky gradient in
// place of the traced reflection.
#include "camera.glsl"
#include "sky.glsl"
#include "atmosphere.glsl"

CAMERA_BLOCK(0, 0)
SUN_BLOCK(0, 1)

#include "water.glsl"

WATER_OPT_BLOCK(0, 2)

#include "waterShade.glsl"

const float PLANET_RADIUS = 12742.0;
const float EXPOSURE = 1.5;

layout(location = 0) in vec3 inWorld;
// From the vertex stage, so that no branch here depends on uniform blocks alone (see
// waterVertOpt.vert).
layout(location = 1) flat in float inCameraAltitude;
// Trace iterations, normal iterations, trace steps: built-in counts, passed through the
// vertex stage so that the loops keep them as counts (see below).
layout(location = 2) flat in ivec3 inLoops;
layout(location = 0) out vec4 outColor;
// The surface's depth in the first channel: this pass tests the scene's depth but does
// not write it (so that the test drops hidden fragments before they are shaded); the
// next pass writes these depths into the scene's depth.
layout(location = 1) out vec4 outSurfaceDepth;

// The daylight sky without tracing it: blue above, pale at the horizon, warm towards
// a low sun, dark at night.
vec3 skyGradient(vec3 dir, vec3 sunDirection)
{
    float day = smoothstep(-0.12, 0.2, sunDirection.y);
    float low = 1.0 - smoothstep(0.0, 0.45, abs(sunDirection.y));
    float horizon = pow(1.0 - clamp(dir.y, 0.0, 1.0), 3.0);
    vec3 zenithColor = mix(vec3(0.10, 0.24, 0.52), vec3(0.06, 0.10, 0.25), low);
    vec3 horizonColor = mix(vec3(0.50, 0.62, 0.78), vec3(0.85, 0.50, 0.28), low);
    float towardsSun = pow(max(dot(dir, sunDirection), 0.0), 6.0);
    vec3 color = mix(zenithColor, horizonColor, horizon) + vec3(1.0, 0.7, 0.45) * towardsSun * (0.25 + 0.6 * low);
    return color * day + vec3(0.004, 0.007, 0.015);
}

void main()
{
    vec3 sunDirection = normalize(sun.sunDirection);

    Waves w;
    w.time = water.time;
    w.sizeScaling = 18.0;
    w.heightScaling = OPT_HEIGHT_SCALING;
    w.iterations = inLoops.y;
    w.offsetWeight = 0.946;
    w.heightWeight = 0.753;
    w.phaseWeight = 1.215;
    w.speedWeight = 1.1;
    w.dxMul = 0.201;

    vec3 dir = normalize(inWorld - camera.position);
    // Fragments behind the land are dropped before any wave is traced. The rest of the
    // shader sits in the branch, not after a discard: lavapipe runs a block of pixels
    // on through a discard, but leaves a loop as soon as no pixel of the block is in
    // the branch, and every costly part here is a loop with a count from the vertex
    // stage (the branch reads the scene's depth, a per-pixel value).
    bool hidden = hiddenBehindScene(camera.position, dir, PLANET_RADIUS, waveAmplitude(w));
    if (hidden) {
        discard;
    } else {
        float t = traceSurface(w, camera.position, inCameraAltitude, dir, PLANET_RADIUS, inLoops.z, inLoops.x);
        if (t < 0.0) discard;
        vec3 hit = camera.position + dir * t;
        // Behind what the scene holds here: the depth test would have dropped it.
        float depth = surfaceDepth(hit);
        if (depth > sceneDepthHere()) discard;
        float crest = 0.0;
        vec3 n = surfaceNormal(w, hit, t, PLANET_RADIUS, inLoops.y, crest);
        n = facingNormal(n, dir);

        // Sunlight reddens and fades as the sun sinks.
        float elevation = sunDirection.y;
        vec3 sunlight = vec3(1.0, 0.95, 0.88) * smoothstep(-0.05, 0.1, elevation) *
                        mix(vec3(1.0, 0.55, 0.3), vec3(1.0), smoothstep(0.0, 0.4, elevation));
        vec3 light = sunlight * max(elevation, 0.0) + skyGradient(vec3(0.0, 1.0, 0.0), sunDirection) * 0.6;

        WaterOptics o;
        o.rgbScatter = vec3(0.10662226, 0.32444158, 0.68301356);
        o.rgbAbsorption = vec3(0.6, 0.08, 0.015);
        o.absorptionFactor = 120.0;
        o.density = 0.05;
        o.depth = 35.0;
        o.refractiveStrength = 0.8;
        o.prepassScale = water.prepassScale;
        vec3 below = underwaterColor(o, hit, dir, t, n, light, crest);

        vec3 reflected = reflect(dir, n);
        reflected.y = abs(reflected.y);
        vec3 above = skyGradient(normalize(reflected), sunDirection) + expose(sunGlint(dir, n, sunDirection, sunlight), EXPOSURE);

        outColor = vec4(mix(below, above, fresnel(dir, n)), 1.0);
        outSurfaceDepth = vec4(depth, 0.0, 0.0, 1.0);
    }
}
