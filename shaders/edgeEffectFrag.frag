#version 450

// The hovered building's outline: its parts were drawn into a depth image of their
// own (1.0 where they are not). A pixel outside the silhouette within Radius pixels of
// it becomes the outline colour; everything else stays transparent, so the post-process
// pass lays only the rim over the scene.
layout(set = 0, binding = 1) uniform sampler2D buildingDepth;

layout(location = 0) out vec4 outColor;

const int Radius = 2;
const vec4 OutlineColor = vec4(1.0, 1.0, 1.0, 1.0);

bool covered(ivec2 pixel, ivec2 size)
{
    return texelFetch(buildingDepth, clamp(pixel, ivec2(0), size - 1), 0).r < 1.0;
}

void main()
{
    ivec2 size = textureSize(buildingDepth, 0);
    ivec2 pixel = ivec2(gl_FragCoord.xy);
    outColor = vec4(0.0);
    if (covered(pixel, size)) {
        return;
    }
    for (int dy = -Radius; dy <= Radius; dy++) {
        for (int dx = -Radius; dx <= Radius; dx++) {
            if (dx * dx + dy * dy <= Radius * Radius && covered(pixel + ivec2(dx, dy), size)) {
                outColor = OutlineColor;
                return;
            }
        }
    }
}
