#version 450
#extension GL_GOOGLE_include_directive : require

// One triangle over the whole scattering table, from the vertex index alone.
#include "camera.glsl"
#include "sky.glsl"
#include "atmosphere.glsl"

CAMERA_BLOCK(0, 0)
SKY_PARAMS_BLOCK(0, 1)

// What the fragment stage counts its loops by comes from here as flat inputs, never
// from its uniform blocks alone: lavapipe (Mesa 22.3, as in Debian 12) rebuilds a
// fragment shader whose branches or loops depend only on uniform-block values at every
// draw, with the current values built in, and never frees the old builds.
layout(location = 0) flat out float outCameraAltitude; // above the planet sphere
layout(location = 1) flat out ivec2 outSteps;          // main ray steps, sub scatter steps

void main()
{
    outCameraAltitude = altitude(camera.position, sky.planetRadius);
    outSteps = ivec2(sky.mainRaySteps, sky.subScatterSteps);
    vec2 uv = vec2((gl_VertexIndex << 1) & 2, gl_VertexIndex & 2);
    gl_Position = vec4(uv * 2.0 - 1.0, 0.0, 1.0);
}
