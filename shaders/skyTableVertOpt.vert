#version 450
#extension GL_GOOGLE_include_directive : require

// One triangle over the whole scattering table, from the vertex index alone.
#include "camera.glsl"
#include "sky.glsl"
#include "atmosphere.glsl"

CAMERA_BLOCK(0, 0)
SUN_BLOCK(0, 1)

// From here rather than from a uniform block in the fragment stage (see skyTableVert.vert).
layout(location = 0) flat out float outCameraAltitude; // above the planet sphere

// The planet radius built into the fragment stage (the sky's default).
const float PLANET_RADIUS = 12742.0;

void main()
{
    outCameraAltitude = altitude(camera.position, PLANET_RADIUS);
    vec2 uv = vec2((gl_VertexIndex << 1) & 2, gl_VertexIndex & 2);
    gl_Position = vec4(uv * 2.0 - 1.0, 0.0, 1.0);
}
