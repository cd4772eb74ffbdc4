#version 450

// The hovered building's parts into the outline's depth image.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "instance.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec4 inColor;

CAMERA_BLOCK(0, 0)
PREVIEW_BLOCK(0, 1)

void main()
{
    gl_Position = camera.viewProjection * (preview.model * vec4(inPosition, 1.0));
}
