#version 450
#extension GL_GOOGLE_include_directive : require

// The sea with the sky's parameters: waves traced along the view ray, the refracted
// ground of the prepass, the sky's scattering in the reflection and the sun's glint.
#include "camera.glsl"
#include "sky.glsl"
#include "atmosphere.glsl"

CAMERA_BLOCK(0, 0)
SKY_PARAMS_BLOCK(0, 1)

#include "water.glsl"

WATER_PARAMS_BLOCK(0, 2)

#include "waterShade.glsl"


layout(location = 0) in vec3 inWorld;
// From the vertex stage, so that no branch or loop here depends on uniform blocks alone
// (see waterVert.vert).
layout(location = 1) flat in float inCameraAltitude;
layout(location = 2) flat in ivec2 inSteps; // wave iterations, ray steps
// The air's step counts (reflection, its sub-steps, sunlight): built-in counts passed
// through the vertex stage so that the loops keep them as counts (see below).
layout(location = 3) flat in ivec3 inAirSteps;
layout(location = 0) out vec4 outColor;
// The surface's depth in the first channel: this pass tests the scene's depth but does
// not write it (so that the test drops hidden fragments before they are shaded); the
// next pass writes these depths into the scene's depth.
layout(location = 1) out vec4 outSurfaceDepth;

void main()
{
    Atmosphere a;
    a.sunDirection = normalize(sky.sunDirection);
    a.sunColor = sky.sunColor;
    a.rgbScatter = sky.rgbScatter;
    a.planetRadius = sky.planetRadius;
    a.thickness = sky.atmosphereThickness;
    a.averagePoint = sky.atmosphereAveragePoint;
    a.density = sky.atmosphereDensity;
    a.rayleighIntensity = sky.rayleighIntensity;
    a.mieIntensity = sky.mieIntensity;
    a.mieFactor = sky.mieFactor;
    a.exposure = sky.exposure;
    a.mainSteps = inAirSteps.x;
    a.subSteps = inAirSteps.y;

    Waves w;
    w.time = water.time * water.timeMultiplier;
    w.sizeScaling = water.sizeScaling;
    w.heightScaling = water.heightScaling;
    w.iterations = inSteps.x;
    w.offsetWeight = water.offsetWeight;
    w.heightWeight = water.heightWeight;
    w.phaseWeight = water.phaseWeight;
    w.speedWeight = water.speedWeight;
    w.dxMul = water.dxMul;

    vec3 dir = normalize(inWorld - camera.position);
    // Fragments behind the land are dropped before any wave is traced. The rest of the
    // shader sits in the branch, not after a discard: lavapipe runs a block of pixels
    // on through a discard, but leaves a loop as soon as no pixel of the block is in
    // the branch, and every costly part here is a loop with a count from the vertex
    // stage (the branch reads the scene's depth, a per-pixel value).
    bool hidden = hiddenBehindScene(camera.position, dir, a.planetRadius, waveAmplitude(w));
    if (hidden) {
        discard;
    } else {
        // The ray is traced with the broad waves; the normal takes every one of them.
        int traceIterations = max(w.iterations / 2, 1);
        float t = traceSurface(w, camera.position, inCameraAltitude, dir, a.planetRadius, inSteps.y, traceIterations);
        if (t < 0.0) discard;
        vec3 hit = camera.position + dir * t;
        // Behind what the scene holds here: the depth test would have dropped it.
        float depth = surfaceDepth(hit);
        if (depth > sceneDepthHere()) discard;
        float crest = 0.0;
        vec3 n = surfaceNormal(w, hit, t, a.planetRadius, w.iterations, crest);
        n = facingNormal(n, dir);

        Medium m = mediumOf(a);
        vec3 sunlight = sunlightAt(a, m, hit, inAirSteps.z);
        vec3 up = normalize(hit + vec3(0.0, a.planetRadius, 0.0));
        Scattering zenith = scatterAlong(a, hit, altitude(hit, a.planetRadius), up, 1e30, 1.0);
        vec3 light = sunlight * max(dot(up, a.sunDirection), 0.0) + expose(zenith.inscatter, a.exposure) * 0.6;

        WaterOptics o;
        o.rgbScatter = water.rgbScatter;
        o.rgbAbsorption = water.rgbAbsorption;
        o.absorptionFactor = water.absorptionFactor;
        o.density = water.density;
        o.depth = water.depth;
        o.refractiveStrength = water.refractiveStrength;
        o.prepassScale = water.prepassScale;
        vec3 below = underwaterColor(o, hit, dir, t, n, light, crest);

        vec3 reflected = reflect(dir, n);
        reflected.y = abs(reflected.y);
        Scattering skyLight = scatterAlong(a, hit, altitude(hit, a.planetRadius), normalize(reflected), 1e30, 1.0);
        vec3 above = expose(skyLight.inscatter + sunGlint(dir, n, a.sunDirection, sunlight) +
                                NIGHT_GLOW * nightFactor(a.sunDirection), a.exposure);

        outColor = vec4(mix(below, above, fresnel(dir, n)), 1.0);
        outSurfaceDepth = vec4(depth, 0.0, 0.0, 1.0);
    }
}
