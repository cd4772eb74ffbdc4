#version 450
#extension GL_GOOGLE_include_directive : require

// The screen grid moved onto the sea sphere of the sky's planet radius.
#include "camera.glsl"
#include "sky.glsl"
#include "atmosphere.glsl"

CAMERA_BLOCK(0, 0)
SKY_PARAMS_BLOCK(0, 1)

#include "water.glsl"

WATER_PARAMS_BLOCK(0, 2)

layout(location = 0) in vec2 inGrid;
layout(location = 0) out vec3 outWorld;
// What the fragment stage branches on or counts its loops by comes from here as flat
// inputs, never from its uniform blocks alone: lavapipe (Mesa 22.3, as in Debian 12)
// rebuilds a fragment shader whose branches or loops depend only on uniform-block
// values at every draw, with the current values built in, and never frees the old
// builds, so the process grew by megabytes a frame.
layout(location = 1) flat out float outCameraAltitude; // above the sea sphere
layout(location = 2) flat out ivec2 outSteps;          // wave iterations, ray steps
// The air's step counts of the fragment stage (the reflected sky is traced with fewer
// steps than the sky itself), passed from here rather than written there as constants,
// so that its loops stay loops, which lavapipe leaves as soon as no pixel of a block
// needs them (a loop with a constant count is unrolled and always runs whole).
layout(location = 3) flat out ivec3 outAirSteps; // reflection steps, its sub-steps, sunlight steps

const int REFLECTION_STEPS = 5;
const int REFLECTION_SUB_STEPS = 2;
const int SUNLIGHT_STEPS = 3;

void main()
{
    outCameraAltitude = altitude(camera.position, sky.planetRadius);
    outAirSteps = ivec3(REFLECTION_STEPS, REFLECTION_SUB_STEPS, SUNLIGHT_STEPS);
    outSteps = ivec2(clamp(water.iterations, 1, 64), clamp(water.mainRaySteps, 1, 50));
    outWorld = gridVertexOnSea(water.inverseViewProjection, inGrid, sky.planetRadius, gridLift(water.heightScaling));
    gl_Position = camera.viewProjection * vec4(outWorld, 1.0);
}
