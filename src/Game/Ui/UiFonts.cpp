#include "Engine/Helper/Fatal.h"
#include "Game/Ui/FontFile.h"
#include "Game/Ui/Ui.h"

#include <imgui.h>

#include <string>
#include <vector>

namespace Ui {

namespace {

constexpr f32 SmallSize = 16.0f;
constexpr f32 MediumSize = 20.0f;
constexpr f32 LargeSize = 24.0f;

} // namespace

void addFonts(const char* path)
{
    // The interface library trusts the file's tables and reads past the end of a
    // truncated or corrupt one, so the file is checked first.
    std::vector<u8> bytes;
    if (!readFontFile(path, &bytes)) {
        fatalError(std::string("Unable to load font file ") + path, "UiFonts", __LINE__);
    }
    if (std::string problem = fontFileProblem(bytes); !problem.empty()) {
        fatalError(std::string("Unable to load font file ") + path + ": " + problem, "UiFonts", __LINE__);
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
