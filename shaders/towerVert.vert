#version 450

// Buildings and tower parts: the model's vertices placed by the instance's matrix
// (rigid: its rotation turns the normals), with their colours.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "instance.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec4 inColor;

CAMERA_BLOCK(0, 0)
INSTANCE_BLOCK(1, 4)

layout(location = 0) out vec3 outWorldPosition;
layout(location = 1) out vec3 outNormal;
layout(location = 2) out vec3 outColor;

void main()
{
    vec4 world = instance.model * vec4(inPosition, 1.0);
    outWorldPosition = world.xyz;
    outNormal = mat3(instance.model) * inNormal;
    outColor = inColor.rgb;
    gl_Position = camera.viewProjection * world;
}
