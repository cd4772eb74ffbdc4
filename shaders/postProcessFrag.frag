#version 450

// The last pass of a world frame: the composed scene (terrain, water and sky) onto the
// swap-chain image. When the tools drew a building outline this frame, the outline
// image is laid over the scene by its alpha.
layout(set = 0, binding = 1) uniform sampler2D composite;
layout(set = 0, binding = 2) uniform sampler2D outline;

layout(location = 0) in vec2 inUv;
layout(location = 1) flat in uint inOutline; // the outline flag (see postProcessVert.vert)

layout(location = 0) out vec4 outColor;

void main()
{
    vec3 color = texture(composite, inUv).rgb;
    if (inOutline != 0u) {
        vec4 edge = texture(outline, inUv);
        color = mix(color, edge.rgb, edge.a);
    }
    outColor = vec4(color, 1.0);
}
