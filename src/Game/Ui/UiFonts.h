#pragma once

// The interface's fonts: one file at three pixel sizes, checked and drawn into the font
// atlas by FreeType.

#include "Engine/Types.h"

#include <array>
#include <string>
#include <vector>

struct ImFont;
struct ImFontAtlas;

namespace Ui {

// Small (the interface library's default font), medium and large.
constexpr std::array<f32, 3> FontSizes{16.0f, 20.0f, 24.0f};

// Checks the font file's `bytes` and builds `atlas` from the three sizes of it, named
// after `name`; the three fonts go to `fonts`. Empty when the atlas is built, else why
// the font was refused (the atlas is then left empty).
std::string buildFontAtlas(ImFontAtlas& atlas, const std::vector<u8>& bytes, const std::string& name,
                           std::array<ImFont*, 3>* fonts);

} // namespace Ui
