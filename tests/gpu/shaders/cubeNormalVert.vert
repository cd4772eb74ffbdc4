#version 450

// Colours each face by its normal: n * 0.5 + 0.5.
layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inUv;

layout(push_constant) uniform Transform {
    mat4 mvp;
} transform;

layout(location = 0) out vec3 outColor;

void main()
{
    outColor = inNormal * 0.5 + 0.5 + vec3(inUv * 0.0, 0.0);
    gl_Position = transform.mvp * vec4(inPosition, 1.0);
}
