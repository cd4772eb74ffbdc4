#version 450

// Copies the layers of a depth array bit for bit into an unsigned integer target,
// stacked from the top down: target row y shows row y % height of layer y / height.
layout(set = 0, binding = 0) uniform sampler2DArray layers;

layout(location = 0) out uvec4 outBits;

void main()
{
    ivec2 size = textureSize(layers, 0).xy;
    ivec2 p = ivec2(gl_FragCoord.xy);
    float depth = texelFetch(layers, ivec3(p.x, p.y % size.y, p.y / size.y), 0).r;
    outBits = uvec4(floatBitsToUint(depth), 0u, 0u, 0u);
}
