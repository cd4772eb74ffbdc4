#version 450

// One triangle that covers the whole screen, made from the vertex index alone:
// (-1, -1), (3, -1), (-1, 3) in clip space.
void main()
{
    vec2 uv = vec2((gl_VertexIndex << 1) & 2, gl_VertexIndex & 2);
    gl_Position = vec4(uv * 2.0 - 1.0, 0.0, 1.0);
}
