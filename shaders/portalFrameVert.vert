#version 450

// A portal's stone frame: placed and turned by the instance's matrix, with the
// coordinates of its colour texture.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "instance.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inUv;

CAMERA_BLOCK(0, 0)
INSTANCE_BLOCK(1, 4)

layout(location = 0) out vec3 outWorldPosition;
layout(location = 1) out vec3 outNormal;
layout(location = 2) out vec2 outUv;

void main()
{
    vec4 world = instance.model * vec4(inPosition, 1.0);
    outWorldPosition = world.xyz;
    outNormal = mat3(instance.model) * inNormal;
    outUv = inUv;
    gl_Position = camera.viewProjection * world;
}
