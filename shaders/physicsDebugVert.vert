#version 450

// Physics debug lines: world-space end points with a colour each.
layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inColor;

#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"

CAMERA_BLOCK(0, 0)

layout(location = 0) out vec3 outColor;

void main()
{
    outColor = inColor;
    gl_Position = camera.viewProjection * vec4(inPosition, 1.0);
}
