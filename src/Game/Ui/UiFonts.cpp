#include "Engine/Helper/Fatal.h"
#include "Game/Ui/Ui.h"

#include <imgui.h>

#include <cstring>
#include <fstream>
#include <string>

namespace Ui {

namespace {

constexpr f32 SmallSize = 16.0f;
constexpr f32 MediumSize = 20.0f;
constexpr f32 LargeSize = 24.0f;

// The interface library stops the whole program on a font file it cannot parse, so
// the file is looked at first: it must exist and start like a TrueType or OpenType
// font (or a collection of them).
bool looksLikeFont(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    char tag[4] = {};
    if (!file.read(tag, sizeof(tag))) {
        return false;
    }
    static const char* const tags[] = {"\x00\x01\x00\x00", "true", "OTTO", "ttcf"};
    for (const char* known : tags) {
        if (std::memcmp(tag, known, sizeof(tag)) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

void addFonts(const char* path)
{
    if (!looksLikeFont(path)) {
        fatalError(std::string("Unable to load font file ") + path, "UiFonts", __LINE__);
    }
    ImFontAtlas* atlas = ImGui::GetIO().Fonts;
    fontSmall = atlas->AddFontFromFileTTF(path, SmallSize);
    fontMedium = atlas->AddFontFromFileTTF(path, MediumSize);
    fontLarge = atlas->AddFontFromFileTTF(path, LargeSize);
    if (fontSmall == nullptr || fontMedium == nullptr || fontLarge == nullptr || !atlas->Build()) {
        fatalError(std::string("Unable to load font file ") + path, "UiFonts", __LINE__);
    }
}

} // namespace Ui
