#version 450

// The sea's surface depths, which its colour pass wrote beside the colour, into the
// scene's depth: later passes (the smoke, the tool previews, the sky's haze) see the
// waves as if the sea had written them itself. Pixels without sea hold 1 and keep
// the scene's depth.
layout(set = 0, binding = 0) uniform sampler2D surfaceDepths;

void main()
{
    float depth = texelFetch(surfaceDepths, ivec2(gl_FragCoord.xy), 0).r;
    if (depth >= 1.0) discard;
    gl_FragDepth = depth;
}
