// Font files are checked before the interface library reads them: it trusts every
// offset in the file.

#include "UiHeadless.h"

#include "Game/Ui/FontFile.h"
#include "Game/Ui/Ui.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

std::vector<u8> roboto()
{
    std::vector<u8> bytes;
    EXPECT_TRUE(readFontFile(DebianFont, &bytes));
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
    testing::internal::CaptureStdout();
    std::string message = "(no error)";
    try {
        Ui::addFonts(path.c_str());
    } catch (const std::runtime_error& error) {
        message = error.what();
    }
    const std::string printed = testing::internal::GetCapturedStdout();
    std::filesystem::remove(path);
    EXPECT_EQ(message.rfind("Unable to load font file " + path + ": the table", 0), 0u) << message;
    EXPECT_EQ(printed.rfind("ERROR: " + message + " (in UiFonts at line #", 0), 0u) << printed;
}
