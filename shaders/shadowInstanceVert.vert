#version 450

// Buildings, tower parts and enemies into a shadow cascade: positions only, through the
// light camera. Instanced draws (enemies) read one matrix per instance; a building's
// single instance reads its slot's first matrix.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "instance.glsl"

layout(location = 0) in vec3 inPosition;

CAMERA_BLOCK(0, 0)
INSTANCES_BLOCK(1, 4)

void main()
{
    gl_Position = camera.viewProjection * (instances.models[gl_InstanceIndex] * vec4(inPosition, 1.0));
}
