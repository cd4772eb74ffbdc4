#version 450
#extension GL_GOOGLE_include_directive : require

// The sky where the scene is empty, with the sky's parameter block.
#define SKY_COMPOSE composeSky
#include "skyboxMain.glsl"
