#version 450

// Stand-in for the terrain shaders in the terrain object's tests: the chunk streams,
// the camera block (set 0) and the chunk's model matrix (set 1, binding 4).
layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec4 inColor;

layout(set = 0, binding = 0) uniform CameraBlock {
    mat4 viewProjection;
} camera;

layout(set = 1, binding = 4) uniform ChunkBlock {
    mat4 model;
} chunk;

layout(location = 0) out vec3 outColor;

void main()
{
    outColor = inColor.rgb * max(inNormal.y, 0.25);
    gl_Position = camera.viewProjection * chunk.model * vec4(inPosition, 1.0);
}
