#version 450

// The ghost of a building the player is about to place, sell, repair or upgrade: the
// part's model placed by the preview block's matrix.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "instance.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec4 inColor;

CAMERA_BLOCK(0, 0)
PREVIEW_BLOCK(0, 1)

layout(location = 0) out vec3 outNormal;
layout(location = 1) out float outShade;

void main()
{
    outNormal = mat3(preview.model) * inNormal;
    // The model's own light and dark parts show faintly through the ghost's colour.
    outShade = dot(inColor.rgb, vec3(0.299, 0.587, 0.114));
    gl_Position = camera.viewProjection * (preview.model * vec4(inPosition, 1.0));
}
