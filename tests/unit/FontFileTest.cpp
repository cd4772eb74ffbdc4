// Font files are checked before the interface library reads them: it trusts every
// offset in the file.

#include "UiHeadless.h"

#include "Engine/Helper/FileLimits.h"
#include "Engine/Helper/FileRead.h"
#include "Game/Ui/FontFile.h"
#include "Game/Ui/Ui.h"
#include "Game/Ui/UiFonts.h"

#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>
#include <utility>

namespace {

std::vector<u8> roboto()
{
    std::vector<u8> bytes;
    EXPECT_EQ(readRegularFile(DebianFont, &bytes, FileLimits::FontFile), "");
    return bytes;
}

u32 be32(const std::vector<u8>& b, size_t at)
{
    return u32(b[at]) << 24 | u32(b[at + 1]) << 16 | u32(b[at + 2]) << 8 | u32(b[at + 3]);
}

void putBe32(std::vector<u8>& b, size_t at, u32 value)
{
    for (size_t i = 0; i < 4; i++) b[at + i] = u8(value >> (24 - 8 * i));
}

// Position of the directory record of table `tag`.
size_t recordOf(const std::vector<u8>& font, const char* tag)
{
    const u32 count = u32(font[4]) << 8 | font[5];
    for (size_t i = 0; i < count; i++) {
        const size_t record = 12 + 16 * i;
        if (std::string(font.begin() + static_cast<long>(record), font.begin() + static_cast<long>(record) + 4) ==
            tag) {
            return record;
        }
    }
    ADD_FAILURE() << "no table " << tag;
    return 0;
}

// What adding the fonts of `path` throws ("(no error)" when nothing) and prints.
std::pair<std::string, std::string> addFontsMessage(const std::string& path)
{
    testing::internal::CaptureStdout();
    std::string message = "(no error)";
    try {
        Ui::addFonts(path.c_str());
    } catch (const std::runtime_error& error) {
        message = error.what();
    }
    return {message, testing::internal::GetCapturedStdout()};
}

} // namespace

TEST(FontFile, TheGameFontPassesAndTruncatedCopiesAreRefused)
{
    const std::vector<u8> font = roboto();
    ASSERT_GT(font.size(), 1000u);
    EXPECT_EQ(fontFileProblem(font), "");

    for (size_t size : {font.size() / 2, font.size() / 10, size_t{400}, size_t{100}, size_t{11}, size_t{0}}) {
        const std::vector<u8> cut(font.begin(), font.begin() + static_cast<long>(size));
        EXPECT_NE(fontFileProblem(cut), "") << size << " bytes";
    }
    EXPECT_NE(fontFileProblem(std::vector<u8>(font.begin(), font.end() - 1)), "") << "one byte short";
}

TEST(FontFile, TablesThatPointOutsideAreNamed)
{
    const std::vector<u8> font = roboto();

    std::vector<u8> longGlyphs = font;
    const size_t glyf = recordOf(longGlyphs, "glyf");
    putBe32(longGlyphs, glyf + 12, static_cast<u32>(font.size()));
    EXPECT_EQ(fontFileProblem(longGlyphs), "the table 'glyf' ends past the end of the file");
    // A tag is four bytes of the file, of any value: quoted escaped.
    std::vector<u8> oddTag = longGlyphs;
    std::memcpy(&oddTag[glyf], "\x1b\x9b\xff\x7f", 4);
    EXPECT_EQ(fontFileProblem(oddTag), "the table '\\x1b\\x9b\\xff\\x7f' ends past the end of the file");

    // An offset near the end of the 32-bit range must not wrap around.
    std::vector<u8> wrapping = font;
    putBe32(wrapping, recordOf(wrapping, "cmap") + 8, 0xFFFFFFF0u);
    EXPECT_EQ(fontFileProblem(wrapping), "the table 'cmap' ends past the end of the file");

    // A glyph whose outline starts beyond the glyph table.
    std::vector<u8> farGlyph = font;
    const size_t loca = be32(farGlyph, recordOf(farGlyph, "loca") + 8);
    const size_t head = be32(farGlyph, recordOf(farGlyph, "head") + 8);
    const bool longOffsets = (u32(farGlyph[head + 50]) << 8 | farGlyph[head + 51]) != 0;
    const u32 beyond = be32(farGlyph, glyf + 12) + 64;
    if (longOffsets) {
        putBe32(farGlyph, loca + 4, beyond);
    } else {
        farGlyph[loca + 2] = u8((beyond / 2) >> 8);
        farGlyph[loca + 3] = u8(beyond / 2);
    }
    EXPECT_EQ(fontFileProblem(farGlyph), "a glyph lies past the end of the table 'glyf'");

    // A table the library needs, renamed away.
    std::vector<u8> noMetrics = font;
    noMetrics[recordOf(noMetrics, "hmtx")] = 'X';
    EXPECT_EQ(fontFileProblem(noMetrics), "the table 'hmtx' is missing");

    std::vector<u8> notAFont = font;
    notAFont[0] = 'W';
    EXPECT_EQ(fontFileProblem(notAFont), "not a TrueType or OpenType font");
}

TEST(FontFile, CollectionsAreCheckedThroughTheirFirstFont)
{
    const std::vector<u8> font = roboto();
    std::vector<u8> collection = {'t', 't', 'c', 'f', 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 16};
    std::vector<u8> shifted = font;
    // Table offsets count from the start of the collection file.
    const u32 count = u32(font[4]) << 8 | font[5];
    for (u32 i = 0; i < count; i++) putBe32(shifted, 12 + 16 * i + 8, be32(shifted, 12 + 16 * i + 8) + 16);
    collection.insert(collection.end(), shifted.begin(), shifted.end());
    EXPECT_EQ(fontFileProblem(collection), "");

    std::vector<u8> manyFonts = collection;
    putBe32(manyFonts, 8, 0x40000000u);
    EXPECT_EQ(fontFileProblem(manyFonts), "the file ends inside the font collection's header");
    collection.resize(collection.size() / 2);
    EXPECT_NE(fontFileProblem(collection), "");
}

TEST(FontFile, AddingATruncatedFontStopsWithTheFileNamed)
{
    ImGui::SetCurrentContext(headlessUiContext());
    const std::vector<u8> font = roboto();
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("brackenhold-font-" + std::to_string(getpid()) + ".ttf"))
                                 .string();
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(font.data()), static_cast<std::streamsize>(font.size() / 2));
    }
    const auto [message, printed] = addFontsMessage(path);
    std::filesystem::remove(path);
    EXPECT_EQ(message.rfind("Unable to load font file " + path + ": the table", 0), 0u) << message;
    EXPECT_EQ(printed.rfind("ERROR: " + message + " (in UiFonts at line #", 0), 0u) << printed;
}

namespace {

struct TableSpan {
    size_t offset = 0;
    size_t length = 0;
};

TableSpan tableOf(const std::vector<u8>& font, const char* tag)
{
    const size_t record = recordOf(font, tag);
    return {be32(font, record + 8), be32(font, record + 12)};
}

// Overwrites a table's body from `skip` bytes on with noise.
void scramble(std::vector<u8>& font, const char* tag, size_t skip = 0)
{
    std::mt19937 noise(7);
    const TableSpan table = tableOf(font, tag);
    for (size_t i = table.offset + skip; i < table.offset + table.length; i++) font[i] = u8(noise());
}

// The line's ascender and descender (font units above the baseline) in both tables that
// hold them: 'hhea', and the typographic and Windows metrics of 'OS/2'.
void setLine(std::vector<u8>& font, u16 ascender, u16 descender)
{
    const size_t hhea = tableOf(font, "hhea").offset, os2 = tableOf(font, "OS/2").offset;
    putBe32(font, hhea + 4, u32{ascender} << 16 | descender);
    putBe32(font, os2 + 68, u32{ascender} << 16 | descender);
    putBe32(font, os2 + 74, u32{ascender} << 16 | u16(-descender));
}

} // namespace

// Fonts whose tables are where the directory says but whose contents are garbage, and
// paths that are no font file at all: each is refused with a line naming the file,
// never a crash, an assertion or a wait.
TEST(FontFile, BrokenFontsAreRefusedNamingTheFile)
{
    const std::vector<u8> font = roboto();
    const auto fontWith = [&font](std::function<void(std::vector<u8>&)> damage) {
        return [&font, damage](const std::string& path) {
            std::vector<u8> broken = font;
            damage(broken);
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(broken.data()), static_cast<std::streamsize>(broken.size()));
        };
    };
    const struct {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* reason; // in the message after the path
    } cases[] = {
        {"glyph outlines overwritten", fontWith([](auto& f) { scramble(f, "glyf"); }), "the glyph of"},
        {"character maps overwritten past their records",
         fontWith([](auto& f) { scramble(f, "cmap", 4 + 8 * f[tableOf(f, "cmap").offset + 3]); }),
         "it has no Unicode character map"},
        {"advance widths overwritten", fontWith([](auto& f) { scramble(f, "hmtx"); }), "advances"},
        // A size is asked for as the span from ascender to descender.
        {"lines 40 units high: giant glyphs", fontWith([](auto& f) { setLine(f, 40, 0); }), "advances"},
        {"lines 400 units high: glyphs five times too large", fontWith([](auto& f) { setLine(f, 400, 0); }),
         "px tall"},
        {"lines of no height", fontWith([](auto& f) { setLine(f, 0, 0); }), "cannot be scaled to 16 px"},
        {"the descender above the baseline", fontWith([](auto& f) { setLine(f, 3000, 2000); }),
         "its lines at 16 px reach 48 px from the baseline"},
        {"a directory", [](const std::string& path) { std::filesystem::create_directory(path); }, "directory"},
        {"a pipe", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }, "pipe"},
    };
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("brackenhold-font-" + std::to_string(getpid()) + "-broken.ttf"))
                                 .string();
    ImGuiContext* shared = headlessUiContext();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.make(path);
        // A context of its own, as at the game's start.
        ImGuiContext* context = ImGui::CreateContext();
        const auto [message, printed] = addFontsMessage(path);
        ImGui::DestroyContext(context);
        ImGui::SetCurrentContext(shared);
        std::filesystem::remove_all(path);
        EXPECT_EQ(message.rfind("Unable to load font file " + path + ": ", 0), 0u) << message;
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        EXPECT_EQ(printed.rfind("ERROR: " + message + " (in UiFonts at line #", 0), 0u) << printed;
    }
}

// Random damage to the real font, as a disk or a player might do it: bytes overwritten
// here and there or in a run, in the table directory or in one table, or the file cut
// short. Each damaged copy is refused or gives an atlas whose three fonts draw the
// letters, within a texture any device takes; nothing crashes (the sanitizer build
// runs this too).
TEST(FontFile, DamagedFontsAreRefusedOrBuilt)
{
    const std::vector<u8> font = roboto();
    const u32 tables = u32(font[4]) << 8 | font[5];
    u32 refused = 0, built = 0;
    for (u32 seed = 1; seed <= 600; seed++) {
        std::mt19937 random(seed);
        std::vector<u8> damaged = font;
        const size_t record = 12 + 16 * (random() % tables);
        const TableSpan region = seed % 8 == 0 ? TableSpan{0, 12 + 16 * size_t{tables}}
                                               : TableSpan{be32(font, record + 8), be32(font, record + 12)};
        if (seed % 5 == 0) {
            damaged.resize(random() % font.size());
        } else if (seed % 2 == 0) {
            for (u32 n = 1 + random() % 16; n > 0; n--) {
                damaged[region.offset + random() % region.length] = u8(random());
            }
        } else {
            const size_t length = std::min<size_t>(region.length, 1 + random() % 512);
            const size_t from = region.offset + random() % (region.length - length + 1);
            std::generate_n(damaged.begin() + static_cast<long>(from), length, [&] { return u8(random()); });
        }
        ImFontAtlas atlas;
        std::array<ImFont*, 3> fonts{};
        if (!Ui::buildFontAtlas(atlas, damaged, "damaged", &fonts).empty()) {
            refused++;
            continue;
        }
        built++;
        for (const ImFont* size : fonts) {
            ASSERT_NE(size, nullptr) << "seed " << seed;
            EXPECT_NE(size->FindGlyphNoFallback('A'), nullptr) << "seed " << seed;
        }
        // As the renderer takes it.
        unsigned char* pixels = nullptr;
        int width = 0, height = 0;
        atlas.GetTexDataAsRGBA32(&pixels, &width, &height);
        EXPECT_NE(pixels, nullptr) << "seed " << seed;
        EXPECT_LE(std::max(width, height), 4096) << "seed " << seed;
    }
    // Both ways out are taken often.
    EXPECT_GT(refused, 60u);
    EXPECT_GT(built, 60u);
}

// Texts are as wide as the library's own TrueType reader lays them out (which the game's
// panels were laid out with): the FreeType builder's advances, rounded up to whole
// pixels, made "Start wave 1" several pixels wider.
TEST(FontFile, TextsKeepTheirWidthsWithFreeType)
{
    const std::vector<u8> font = roboto();
    ImFontAtlas freeType;
    std::array<ImFont*, 3> fonts{};
    ASSERT_EQ(Ui::buildFontAtlas(freeType, font, "Roboto", &fonts), "");
    // The real font is trusted here, so the library's own reader may read it.
    ImFontAtlas reference;
    reference.FontBuilderIO = ImFontAtlasGetBuilderForStbTruetype();
    for (size_t i = 0; i < Ui::FontSizes.size(); i++) {
        void* copy = IM_ALLOC(font.size());
        std::memcpy(copy, font.data(), font.size());
        reference.AddFontFromMemoryTTF(copy, static_cast<int>(font.size()), Ui::FontSizes[i]);
    }
    ASSERT_TRUE(reference.Build());
    for (size_t i = 0; i < Ui::FontSizes.size(); i++) {
        for (const char* text : {"Start wave 1", "Money: 5000$", "Apply and save", "Open debug window", "Wall (100$)"}) {
            const f32 ours = fonts[i]->CalcTextSizeA(fonts[i]->FontSize, 10000.0f, 0.0f, text).x;
            const f32 theirs = reference.Fonts[static_cast<int>(i)]->CalcTextSizeA(Ui::FontSizes[i], 10000.0f, 0.0f, text).x;
            EXPECT_NEAR(ours, theirs, 0.01f) << text << " at " << Ui::FontSizes[i] << " px";
        }
    }
}
