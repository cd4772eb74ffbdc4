#version 450

// Shows the four layers of a depth array side by side (layer = quadrant, left to
// right, top to bottom): red 1 where a layer holds depth below 1, green = the depth.
layout(set = 0, binding = 0) uniform sampler2DArray layers;

layout(location = 0) in vec2 inUv;
layout(location = 0) out vec4 outColor;

void main()
{
    vec2 quadrant = floor(inUv * 2.0);
    float layer = quadrant.y * 2.0 + quadrant.x;
    float depth = texture(layers, vec3(fract(inUv * 2.0), layer)).r;
    outColor = vec4(depth < 1.0 ? 1.0 : 0.0, depth, 0.0, 1.0);
}
