#version 450
#extension GL_GOOGLE_include_directive : require

// The sky cube around the camera: its corners give the view directions.
#include "camera.glsl"
#include "sky.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inUv;

CAMERA_BLOCK(0, 0)
SUN_BLOCK(0, 1)
layout(set = 0, binding = 2) uniform PlacementBlock {
    mat4 model;
} placement;

layout(location = 0) out vec3 outDirection;

void main()
{
    outDirection = inPosition;
    gl_Position = camera.viewProjection * (placement.model * vec4(inPosition, 1.0));
}
