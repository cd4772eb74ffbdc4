#pragma once

#include "Engine/Types.h"

// The largest file of each kind the game reads: far above the largest it ships (noted
// beside each) and far below what a player's machine holds, so that something else put
// in a file's place is refused at once instead of taking seconds and gigabytes to read.
namespace FileLimits {

constexpr u64 MiB = u64{1} << 20;

// Building descriptions: under 1 KB each; parsing takes about 17 times a file's size.
constexpr u64 BuildingFile = 1 * MiB;
// Shaders: 55 KB at most.
constexpr u64 ShaderFile = 16 * MiB;
// Textures: 4 MB (a star face).
constexpr u64 TextureFile = 256 * MiB;
// Models: 140 KB (the castle); a model must fit the 10 MB mesh storage anyway.
constexpr u64 ModelFile = 32 * MiB;
// The font: 300 KB.
constexpr u64 FontFile = 64 * MiB;
// The interface layout: a few KB for the game's few windows.
constexpr u64 LayoutFile = 1 * MiB;

} // namespace FileLimits
