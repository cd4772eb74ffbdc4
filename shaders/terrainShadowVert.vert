#version 450

// Terrain chunks into a shadow cascade: positions only, through the light camera.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "terrain.glsl"

layout(location = 0) in vec3 inPosition;

CAMERA_BLOCK(0, 0)
CHUNK_BLOCK(1, 4)

void main()
{
    gl_Position = camera.viewProjection * (chunk.model * vec4(inPosition, 1.0));
}
