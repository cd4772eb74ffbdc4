#version 450
#extension GL_GOOGLE_include_directive : require

// The scattering tables from the sky's parameter block, with the sky's own step counts.
#include "camera.glsl"
#include "sky.glsl"
#include "atmosphere.glsl"
#include "skyTable.glsl"

CAMERA_BLOCK(0, 0)
SKY_PARAMS_BLOCK(0, 1)

// From the vertex stage, so that no loop here depends on uniform blocks alone (see
// skyTableVert.vert).
layout(location = 0) flat in float inCameraAltitude;
layout(location = 1) flat in ivec2 inSteps; // main ray steps, sub scatter steps
layout(location = 0) out vec4 outInscatter;
layout(location = 1) out vec4 outTransmittance;

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
    TableFrame f = tableFrame(camera.position, inCameraAltitude, a.planetRadius);
    Scattering s = tableEntry(a, f, ivec2(gl_FragCoord.xy), camera.position, inCameraAltitude, camera.farPlane);
    outInscatter = vec4(s.inscatter, 1.0);
    outTransmittance = vec4(s.transmittance, 1.0);
}
