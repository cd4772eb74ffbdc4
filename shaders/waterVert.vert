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

void main()
{
    outWorld = gridVertexOnSea(water.inverseViewProjection, inGrid, sky.planetRadius);
    gl_Position = camera.viewProjection * vec4(outWorld, 1.0);
}
