#version 450

// Shows what the water prepass left in its images: red 1 where the colour image holds
// anything, green = the depth image's depth.
layout(set = 0, binding = 0) uniform sampler2D colorImage;
layout(set = 0, binding = 1) uniform sampler2D depthImage;

layout(location = 0) in vec2 inUv;
layout(location = 0) out vec4 outColor;

void main()
{
    vec4 color = texture(colorImage, inUv);
    float covered = max(max(color.r, color.g), color.b) > 0.0 ? 1.0 : 0.0;
    outColor = vec4(covered, texture(depthImage, inUv).r, 0.0, 1.0);
}
