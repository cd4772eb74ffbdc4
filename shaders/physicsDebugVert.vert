#version 450

// Physics debug lines: world-space end points with a colour each.
layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inColor;

// The camera block; only its leading view-projection matrix is read here.
layout(set = 0, binding = 0) uniform Camera {
    mat4 viewProjection;
} camera;

layout(location = 0) out vec3 outColor;

void main()
{
    outColor = inColor;
    gl_Position = camera.viewProjection * vec4(inPosition, 1.0);
}
