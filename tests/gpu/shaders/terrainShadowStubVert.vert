#version 450

// Stand-in for the terrain shadow shader in the terrain object's tests.
layout(location = 0) in vec3 inPosition;

layout(set = 0, binding = 0) uniform CameraBlock {
    mat4 viewProjection;
} camera;

layout(set = 1, binding = 4) uniform ChunkBlock {
    mat4 model;
} chunk;

void main()
{
    gl_Position = camera.viewProjection * chunk.model * vec4(inPosition, 1.0);
}
