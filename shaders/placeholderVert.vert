#version 450
void main() { gl_Position = vec4(0.0, 0.0, 0.0, 1.0); }
