#version 450
#extension GL_GOOGLE_include_directive : require

// The haze over the scene's pixels, with the built-in defaults.
#define SKY_COMPOSE composeHaze
#include "skyboxMainOpt.glsl"
