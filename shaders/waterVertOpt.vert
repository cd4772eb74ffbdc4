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

void main()
{
    outCameraAltitude = altitude(camera.position, PLANET_RADIUS);
    outWorld = gridVertexOnSea(water.inverseViewProjection, inGrid, PLANET_RADIUS);
    gl_Position = camera.viewProjection * vec4(outWorld, 1.0);
}
