#version 450

// Smoke puffs: the puff model scaled by the puff's size, turned and placed by its
// matrix; the puff's opacity goes to the fragments.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "instance.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec4 inColor;

CAMERA_BLOCK(0, 0)
SMOKE_BLOCK(1, 4)

layout(location = 0) out vec3 outWorldPosition;
layout(location = 1) out vec3 outNormal;
layout(location = 2) out vec3 outColor;
layout(location = 3) out float outOpacity;

void main()
{
    SmokeRecord puff = smoke.puffs[gl_InstanceIndex];
    vec4 world = puff.model * vec4(inPosition * puff.size, 1.0);
    outWorldPosition = world.xyz;
    outNormal = mat3(puff.model) * inNormal;
    outColor = inColor.rgb;
    outOpacity = puff.opacityOverSize * puff.size;
    gl_Position = camera.viewProjection * world;
}
