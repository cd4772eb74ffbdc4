#version 450

// Buildings and tower parts into a shadow cascade: positions only, through the light
// camera.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "instance.glsl"

layout(location = 0) in vec3 inPosition;

CAMERA_BLOCK(0, 0)
INSTANCE_BLOCK(1, 4)

void main()
{
    gl_Position = camera.viewProjection * (instance.model * vec4(inPosition, 1.0));
}
