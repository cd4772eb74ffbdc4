#version 450

// The ghost's colour (translucent: it blends over the scene), brighter on faces that
// look up so that its shape reads.
#extension GL_GOOGLE_include_directive : require
#include "instance.glsl"

PREVIEW_BLOCK(0, 1)

layout(location = 0) in vec3 inNormal;
layout(location = 1) in float inShade;

layout(location = 0) out vec4 outColor;

void main()
{
    vec3 normal = normalize(inNormal);
    float light = 0.65 + 0.25 * normal.y + 0.2 * inShade;
    outColor = vec4(preview.color.rgb * light, preview.color.a);
}
