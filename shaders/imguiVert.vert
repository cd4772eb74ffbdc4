#version 450

// Interface vertices in window pixels, mapped to clip space by the push constants.
layout(location = 0) in vec2 inPosition;
layout(location = 1) in vec2 inUv;
layout(location = 2) in vec4 inColor;

layout(push_constant) uniform Transform {
    vec2 scale;
    vec2 translate;
} transform;

layout(location = 0) out vec4 outColor;
layout(location = 1) out vec2 outUv;

// The interface's colours are authored for display as they are; the swap-chain image
// is sRGB, so they are taken to linear here and the store converts them back.
vec3 srgbToLinear(vec3 c)
{
    return mix(c / 12.92, pow((c + 0.055) / 1.055, vec3(2.4)), greaterThan(c, vec3(0.04045)));
}

void main()
{
    outColor = vec4(srgbToLinear(inColor.rgb), inColor.a);
    outUv = inUv;
    gl_Position = vec4(inPosition * transform.scale + transform.translate, 0.0, 1.0);
}
