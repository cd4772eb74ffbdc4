#version 450
#extension GL_GOOGLE_include_directive : require

// The haze over the scene's pixels, with the sky's parameter block.
#define SKY_COMPOSE composeHaze
#include "skyboxMain.glsl"
