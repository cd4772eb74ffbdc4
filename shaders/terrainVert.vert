#version 450

// Terrain chunks: chunk-local positions moved to the chunk's place; the triangle's
// normal and colour pass through (all vertices of a triangle share them).
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "terrain.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec4 inColor;

CAMERA_BLOCK(0, 0)
CHUNK_BLOCK(1, 4)

layout(location = 0) out vec3 outWorldPosition;
layout(location = 1) out vec3 outNormal;
layout(location = 2) out vec3 outColor;

void main()
{
    vec4 world = chunk.model * vec4(inPosition, 1.0);
    outWorldPosition = world.xyz;
    outNormal = inNormal; // the model matrix only translates
    outColor = inColor.rgb;
    gl_Position = camera.viewProjection * world;
}
