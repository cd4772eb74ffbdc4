#pragma once

// The portal frame's colour texture: weathered violet-grey ashlar, courses of dressed
// blocks with dark joints, worn edges, grime and pitting. Linear colour, as the game's
// vertex colours are, so it lights like the models around it.

#include "SkyTexture.h"

SkyImage renderFrameStone(u32 size, u64 seed);

// The level and every half of it down to 1 x 1: the full mip chain.
std::vector<SkyImage> mipChain(SkyImage level0);
