#pragma once

struct SkyboxParams;

// The controls of the "Skybox settings" window over `params`, one per row, and the
// "Reset" button; the caller has begun the window.
void drawSkySettings(SkyboxParams& params);
