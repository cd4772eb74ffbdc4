#pragma once

// Checks a TrueType or OpenType font file before the interface's font atlas is built
// from it, in two steps: the table directory and the offsets (a cut or corrupt file is
// named precisely), then every glyph the atlas takes, drawn by FreeType as the atlas
// builder draws it (a glyph the builder would fail on, or draw far too large for its
// buffers, refuses the font). Pure functions, no interface library.

#include "Engine/Types.h"

#include <span>
#include <string>
#include <vector>

// The characters the interface's fonts take from the file: Basic Latin and Latin-1.
constexpr u32 FontFirstChar = 0x20;
constexpr u32 FontLastChar = 0xFF;

// Empty when the font's tables lie inside the file and hold what the library reads;
// otherwise the first problem found ("the table 'glyf' ends past the end of the file").
std::string fontFileProblem(const std::vector<u8>& bytes);

// Empty when FreeType opens the font, finds a Unicode character map with every printable
// ASCII character in it, and draws every character from FontFirstChar to FontLastChar
// that the map holds at each of `pixelSizes` (as the atlas builder asks for them:
// ascender to descender spanning the size, no hinting, 8-bit coverage), each within
// twice the size; otherwise the first problem found ("the glyph of 'A' at 24 px is
// 3001 px wide").
//
// `advances`, when given, gets for each size the exact (unrounded) advance of every
// character from FontFirstChar to FontLastChar, 0 where the font has no glyph: the
// atlas builder rounds advances up to whole pixels, which would widen every text.
using FontAdvances = std::vector<std::vector<f32>>;
std::string fontGlyphProblem(const std::vector<u8>& bytes, std::span<const f32> pixelSizes,
                             FontAdvances* advances = nullptr);
