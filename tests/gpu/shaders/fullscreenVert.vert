#version 450

// One triangle over the whole target; uv runs 0..1 across it.
layout(location = 0) out vec2 outUv;

void main()
{
    vec2 corner = vec2(float((gl_VertexIndex << 1) & 2), float(gl_VertexIndex & 2));
    outUv = corner;
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
