#version 450
#extension GL_GOOGLE_include_directive : require

// The scattering tables with the sky's default parameters built in and the optimised
// sky's step counts; only the sun direction comes from outside.
#include "camera.glsl"
#include "sky.glsl"
#include "atmosphere.glsl"
#include "skyTable.glsl"

CAMERA_BLOCK(0, 0)
SUN_BLOCK(0, 1)

const int MAIN_STEPS = 8;
const int SUB_STEPS = 3;

// From the vertex stage (see skyTableVertOpt.vert).
layout(location = 0) flat in float inCameraAltitude;
layout(location = 0) out vec4 outInscatter;
layout(location = 1) out vec4 outTransmittance;

void main()
{
    Atmosphere a = defaultAtmosphere(normalize(sun.sunDirection), MAIN_STEPS, SUB_STEPS);
    TableFrame f = tableFrame(camera.position, inCameraAltitude, a.planetRadius);
    Scattering s = tableEntry(a, f, ivec2(gl_FragCoord.xy), camera.position, inCameraAltitude, camera.farPlane);
    outInscatter = vec4(s.inscatter, 1.0);
    outTransmittance = vec4(s.transmittance, 1.0);
}
