#version 450

// Cannonballs and bombs: one sphere per instance, placed by the instance's matrix.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "instance.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inUv;

CAMERA_BLOCK(0, 0)
INSTANCES_BLOCK(1, 4)

layout(location = 0) out vec3 outWorldPosition;
layout(location = 1) out vec3 outNormal;
layout(location = 2) out vec2 outUv;

void main()
{
    mat4 model = instances.models[gl_InstanceIndex];
    vec4 world = model * vec4(inPosition, 1.0);
    outWorldPosition = world.xyz;
    outNormal = mat3(model) * inNormal;
    outUv = inUv;
    gl_Position = camera.viewProjection * world;
}
