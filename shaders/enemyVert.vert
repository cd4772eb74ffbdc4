#version 450

// Enemies: one box per enemy, placed by its instance's matrix (upright, turning about
// y). The box's own size tells the kind apart: the heavy enemy's is more than a unit
// wide. Face coordinates and the height within the body go to the fragment shader,
// which paints the creature.
#extension GL_GOOGLE_include_directive : require
#include "camera.glsl"
#include "instance.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inUv;

CAMERA_BLOCK(0, 0)
INSTANCES_BLOCK(1, 4)

layout(location = 0) out vec3 outWorldPosition;
layout(location = 1) out vec3 outNormal;
layout(location = 2) out vec2 outUv;
layout(location = 3) out float outHeight;     // 0 at the feet, 1 at the top
layout(location = 4) flat out float outHeavy; // 1 for the heavy kind

// Half the width of the widest normal enemy is 0.4; the heavy one's is 1.0.
const float HEAVY_HALF_WIDTH = 0.7;

void main()
{
    mat4 model = instances.models[gl_InstanceIndex];
    vec4 world = model * vec4(inPosition, 1.0);
    outWorldPosition = world.xyz;
    outNormal = mat3(model) * inNormal;
    outUv = inUv;
    float halfWidth = max(abs(inPosition.x), abs(inPosition.z));
    float halfHeight = abs(inPosition.y);
    outHeight = inPosition.y / (2.0 * halfHeight) + 0.5;
    outHeavy = halfWidth > HEAVY_HALF_WIDTH ? 1.0 : 0.0;
    gl_Position = camera.viewProjection * world;
}
