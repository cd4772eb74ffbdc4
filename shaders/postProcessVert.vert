#version 450

// One triangle that covers the whole screen, made from the vertex index alone:
// (0, 0), (2, 0), (0, 2) in texture coordinates, (-1, -1), (3, -1), (-1, 3) in clip space.
layout(location = 0) out vec2 outUv;

// The outline flag reaches the fragment stage as a flat input rather than from the
// uniform block there: lavapipe (Mesa 22.3, as in Debian 12) rebuilds a fragment shader
// whose branches depend only on uniform-block values at every draw, with the current
// values built in, and never frees the old builds.
layout(set = 0, binding = 0) uniform PostProcessBlock {
    uint outlineFlag;
} postProcess;
layout(location = 1) flat out uint outOutline;

void main()
{
    outOutline = postProcess.outlineFlag;
    vec2 uv = vec2((gl_VertexIndex << 1) & 2, gl_VertexIndex & 2);
    outUv = uv;
    gl_Position = vec4(uv * 2.0 - 1.0, 0.0, 1.0);
}
