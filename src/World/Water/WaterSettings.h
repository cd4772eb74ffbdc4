#pragma once

struct WaterParams;

// The controls of the "Water settings" window over `params`, then the "Reset" button,
// which puts a fresh block over all of it (the time restarts at 0). The caller has
// begun the window.
void drawWaterSettings(WaterParams& params);
