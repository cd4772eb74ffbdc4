#version 450
#extension GL_GOOGLE_include_directive : require

// The screen grid moved onto the sea sphere of the default planet radius.
#include "camera.glsl"
#include "sky.glsl"
#include "atmosphere.glsl"

CAMERA_BLOCK(0, 0)
SUN_BLOCK(0, 1)

#include "water.glsl"

WATER_OPT_BLOCK(0, 2)

const float PLANET_RADIUS = 12742.0;

layout(location = 0) in vec2 inGrid;
layout(location = 0) out vec3 outWorld;
// What the fragment stage branches on or counts its loops by comes from here as flat
// inputs, never from its uniform blocks alone: lavapipe (Mesa 22.3, as in Debian 12)
// rebuilds a fragment shader whose branches or loops depend only on uniform-block
// values at every draw, with the current values built in, and never frees the old
// builds, so the process grew by megabytes a frame.
layout(location = 1) flat out float outCameraAltitude; // above the sea sphere
// The fragment stage's loop counts: passed from here rather than written there as
// constants, so that its loops stay loops, which lavapipe leaves as soon as no pixel of
// a block needs them (a loop with a constant count is unrolled and always runs whole).
layout(location = 2) flat out ivec3 outLoops; // trace iterations, normal iterations, trace steps

const int TRACE_ITERATIONS = 10;
const int NORMAL_ITERATIONS = 22;
const int TRACE_STEPS = 2;

void main()
{
    outCameraAltitude = altitude(camera.position, PLANET_RADIUS);
    outLoops = ivec3(TRACE_ITERATIONS, NORMAL_ITERATIONS, TRACE_STEPS);
    outWorld = gridVertexOnSea(water.inverseViewProjection, inGrid, PLANET_RADIUS, gridLift(OPT_HEIGHT_SCALING));
    gl_Position = camera.viewProjection * vec4(outWorld, 1.0);
}
