#pragma once

#include "Engine/Types.h"

// The numbers of smoke puffs and of their drawing.
namespace ParticleRules {
// A puff is drawn only once the logic thread has stored a snapshot after its
// creation: the constructor fills the three slots, each lowering the count by one.
constexpr i32 WarmUpTicks = 4;
// Below this size or axis length a puff is drawn unscaled-transparent or unturned
// instead of dividing by (almost) zero.
constexpr f32 MinSize = 1e-6f;
constexpr f32 MinAxisLength = 1e-6f;

// One drawn puff in the particle renderer's per-frame storage: model matrix,
// opacity / size, size, 8 zero bytes.
constexpr u32 SmokeRecordBytes = 80;
// The renderer's slot: 20,000 puffs a draw.
constexpr u32 SmokeSlotBytes = 1'600'000;
constexpr u32 MaxDrawnPuffs = SmokeSlotBytes / SmokeRecordBytes;
} // namespace ParticleRules
