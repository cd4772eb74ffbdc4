#version 450

// Buildings, tower parts, projectiles and enemies into a shadow cascade: positions
// only, each instance placed by its matrix, through the light camera.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "instance.glsl"

layout(location = 0) in vec3 inPosition;

CAMERA_BLOCK(0, 0)
INSTANCE_ARRAY_BLOCK(1, 4)

void main()
{
    gl_Position = camera.viewProjection * (instances.models[gl_InstanceIndex] * vec4(inPosition, 1.0));
}
