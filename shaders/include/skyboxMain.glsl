// The sky pass's fragment stage: the shader that includes this defines SKY_COMPOSE
// as composeSky (where the scene is empty) or composeHaze (over the scene's pixels);
// see skyPass.glsl.
// Atmospheric scattering over the scene and the sky, from the sky's parameter block and
// the scattering tables made from it.
#include "camera.glsl"
#include "sky.glsl"
#include "atmosphere.glsl"

CAMERA_BLOCK(0, 0)
SKY_PARAMS_BLOCK(0, 1)

#include "skyTable.glsl"
#include "skyPass.glsl"

layout(location = 0) in vec3 inDirection;
// From the vertex stage, so that no branch or loop here depends on uniform blocks alone
// (see skyboxVert.vert).
layout(location = 1) flat in float inCameraAltitude;
layout(location = 2) flat in ivec2 inSteps; // main ray steps, sub scatter steps
layout(location = 0) out vec4 outColor;

void main()
{
    Atmosphere a;
    a.sunDirection = normalize(sky.sunDirection);
    a.sunColor = sky.sunColor;
    a.rgbScatter = sky.rgbScatter;
    a.planetRadius = sky.planetRadius;
    a.thickness = sky.atmosphereThickness;
    a.averagePoint = sky.atmosphereAveragePoint;
    a.density = sky.atmosphereDensity;
    a.rayleighIntensity = sky.rayleighIntensity;
    a.mieIntensity = sky.mieIntensity;
    a.mieFactor = sky.mieFactor;
    a.exposure = sky.exposure;
    a.mainSteps = inSteps.x;
    a.subSteps = inSteps.y;
    outColor = vec4(SKY_COMPOSE(a, inCameraAltitude, normalize(inDirection)), 1.0);
}
