// The sky pass's fragment stage: the shader that includes this defines SKY_COMPOSE
// as composeSky (where the scene is empty) or composeHaze (over the scene's pixels);
// see skyPass.glsl.
// Atmospheric scattering with the sky's default parameters built in, from the tables
// made with fewer steps; only the sun direction comes from outside.
#include "camera.glsl"
#include "sky.glsl"
#include "atmosphere.glsl"

CAMERA_BLOCK(0, 0)
SUN_BLOCK(0, 1)

#include "skyTable.glsl"
#include "skyPass.glsl"

layout(location = 0) in vec3 inDirection;
// From the vertex stage, so that no branch here depends on uniform blocks alone (see
// skyboxVertOpt.vert).
layout(location = 1) flat in float inCameraAltitude;
layout(location = 0) out vec4 outColor;

void main()
{
    Atmosphere a = defaultAtmosphere(normalize(sun.sunDirection), 1, 1) /* the steps are the tables' */;
    outColor = vec4(SKY_COMPOSE(a, inCameraAltitude, normalize(inDirection)), 1.0);
}
