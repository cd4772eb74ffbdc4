#version 450
#extension GL_GOOGLE_include_directive : require

// The sky where the scene is empty, with the built-in defaults.
#define SKY_COMPOSE composeSky
#include "skyboxMainOpt.glsl"
