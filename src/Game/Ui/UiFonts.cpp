#include "Game/Ui/UiFonts.h"

#include "Engine/Helper/FileLimits.h"
#include "Engine/Helper/FileRead.h"
#include "Engine/Helper/Fatal.h"
#include "Game/Ui/FontFile.h"
#include "Game/Ui/Ui.h"

#include <imgui.h>
#include <imgui_freetype.h>

#include <cstdio>
#include <cstring>

namespace Ui {

namespace {

// (The font's limit, FileLimits::FontFile, also keeps its size within the int the
// atlas takes it as.)
const ImWchar GlyphRanges[] = {FontFirstChar, FontLastChar, 0};

// The atlas frees the copy it is given.
void* atlasCopy(const std::vector<u8>& bytes)
{
    void* copy = IM_ALLOC(bytes.size());
    std::memcpy(copy, bytes.data(), bytes.size());
    return copy;
}

// The builder rounds each glyph's advance up to a whole pixel, which widens every text
// by up to a pixel a character: texts are laid out with the exact advances instead.
void setExactAdvances(ImFont& font, const std::vector<f32>& advances)
{
    for (ImFontGlyph& glyph : font.Glyphs) {
        const u32 index = glyph.Codepoint - FontFirstChar;
        if (glyph.Codepoint >= FontFirstChar && index < advances.size() && advances[index] > 0.0f) {
            glyph.AdvanceX = advances[index];
        }
    }
    font.BuildLookupTable();
}

} // namespace

std::string buildFontAtlas(ImFontAtlas& atlas, const std::vector<u8>& bytes, const std::string& name,
                           std::array<ImFont*, 3>* fonts)
{
    // The checks come first: the atlas builder trusts what FreeType gives it (a glyph
    // drawn far too large overruns its buffers).
    if (std::string problem = fontFileProblem(bytes); !problem.empty()) return problem;
    FontAdvances advances;
    if (std::string problem = fontGlyphProblem(bytes, FontSizes, &advances); !problem.empty()) return problem;

    // FreeType, not the library's own TrueType reader, which checks no bounds.
    atlas.FontBuilderIO = ImGuiFreeType::GetBuilderForFreeType();
    // Unhinted, as fontGlyphProblem draws: the glyphs keep the shapes the library's own
    // reader gave them (FreeType's default hinting draws them bolder, and "$" then reads
    // as "5").
    atlas.FontBuilderFlags = ImGuiFreeTypeBuilderFlags_NoHinting;
    for (size_t i = 0; i < FontSizes.size(); i++) {
        ImFontConfig config;
        config.GlyphRanges = GlyphRanges;
        std::snprintf(config.Name, sizeof config.Name, "%s, %.0fpx", name.c_str(), static_cast<double>(FontSizes[i]));
        (*fonts)[i] = atlas.AddFontFromMemoryTTF(atlasCopy(bytes), static_cast<int>(bytes.size()), FontSizes[i],
                                                 &config);
    }
    if (!atlas.Build()) {
        atlas.Clear();
        *fonts = {};
        return "FreeType cannot build the font atlas from it";
    }
    for (size_t i = 0; i < FontSizes.size(); i++) setExactAdvances(*(*fonts)[i], advances[i]);
    return "";
}

void addFonts(const char* path)
{
    const std::string prefix = std::string("Unable to load font file ") + path + ": ";
    std::vector<u8> bytes;
    if (std::string problem = readRegularFile(path, &bytes, FileLimits::FontFile); !problem.empty()) {
        fatalError(prefix + problem, "UiFonts", __LINE__);
    }
    std::array<ImFont*, 3> fonts{};
    const char* slash = std::strrchr(path, '/');
    if (std::string problem = buildFontAtlas(*ImGui::GetIO().Fonts, bytes, slash ? slash + 1 : path, &fonts);
        !problem.empty()) {
        fatalError(prefix + problem, "UiFonts", __LINE__);
    }
    fontSmall = fonts[0];
    fontMedium = fonts[1];
    fontLarge = fonts[2];
}

} // namespace Ui
