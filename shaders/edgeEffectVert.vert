#version 450

// The outline pass covers the screen with one triangle made from the vertex index:
// (0, 0), (2, 0), (0, 2) in texture coordinates, (-1, -1), (3, -1), (-1, 3) in clip space.
layout(location = 0) out vec2 outUv;

void main()
{
    vec2 uv = vec2((gl_VertexIndex << 1) & 2, gl_VertexIndex & 2);
    outUv = uv;
    gl_Position = vec4(uv * 2.0 - 1.0, 0.0, 1.0);
}
