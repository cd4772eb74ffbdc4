#version 450
#extension GL_GOOGLE_include_directive : require

// The sky cube around the camera: its corners give the view directions.
#include "camera.glsl"
#include "sky.glsl"
#include "atmosphere.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inUv;

CAMERA_BLOCK(0, 0)
SKY_PARAMS_BLOCK(0, 1)
layout(set = 0, binding = 2) uniform PlacementBlock {
    mat4 model;
} placement;

layout(location = 0) out vec3 outDirection;
// What the fragment stage branches on or counts its loops by comes from here as flat
// inputs, never from its uniform blocks alone: lavapipe (Mesa 22.3, as in Debian 12)
// rebuilds a fragment shader whose branches or loops depend only on uniform-block
// values at every draw, with the current values built in, and never frees the old
// builds, so the process grew by megabytes a frame.
layout(location = 1) flat out float outCameraAltitude; // above the planet sphere
layout(location = 2) flat out ivec2 outSteps;          // main ray steps, sub scatter steps

void main()
{
    outCameraAltitude = altitude(camera.position, sky.planetRadius);
    outSteps = ivec2(sky.mainRaySteps, sky.subScatterSteps);
    outDirection = inPosition;
    vec4 position = camera.viewProjection * (placement.model * vec4(inPosition, 1.0));
    // On the far plane: the sky pass's depth test against the scene's depth then keeps
    // the sky's draw to the empty pixels and the haze's to the scene's.
    gl_Position = position.xyww;
}
