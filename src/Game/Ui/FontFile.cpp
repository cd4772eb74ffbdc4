#include "Game/Ui/FontFile.h"

#include "Engine/Helper/QuotedText.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

namespace {

constexpr size_t OffsetTableSize = 12;
constexpr size_t TableRecordSize = 16;
constexpr size_t CollectionHeaderSize = 12;
// Smallest sizes of the tables whose fields the library reads at fixed offsets.
constexpr u32 HeadSize = 54;  // indexToLocFormat at 50
constexpr u32 HheaSize = 36;  // numberOfHMetrics at 34
constexpr u32 MaxpSize = 6;   // numGlyphs at 4
constexpr u32 CmapHeaderSize = 4;
constexpr u32 CmapRecordSize = 8;

struct Table {
    u32 offset = 0;
    u32 length = 0;
};

// Big-endian reads; the caller has checked the bounds.
u32 read16(const std::vector<u8>& b, size_t at)
{
    return u32(b[at]) << 8 | u32(b[at + 1]);
}

u32 read32(const std::vector<u8>& b, size_t at)
{
    return read16(b, at) << 16 | read16(b, at + 2);
}

bool inside(const std::vector<u8>& bytes, u64 offset, u64 length)
{
    return offset <= bytes.size() && length <= bytes.size() - offset;
}

// A table's tag as the reason quotes it ('cmap'): four bytes of the file, of any value.
std::string tagText(u32 tag)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) text += static_cast<char>((tag >> shift) & 0xFF);
    return "'" + escapedText(text) + "'";
}

u32 tagOf(const char* text)
{
    return u32(u8(text[0])) << 24 | u32(u8(text[1])) << 16 | u32(u8(text[2])) << 8 | u32(u8(text[3]));
}

class FontTables {
public:
    FontTables(const std::vector<u8>& bytes, size_t start) : bytes(bytes), start(start) {}

    std::string check()
    {
        if (!inside(bytes, start, OffsetTableSize)) return "the file ends inside the font's header";
        const u32 version = read32(bytes, start);
        if (version != 0x00010000 && version != tagOf("true") && version != tagOf("OTTO")) {
            return "not a TrueType or OpenType font";
        }
        const u32 count = read16(bytes, start + 4);
        if (!inside(bytes, start + OffsetTableSize, u64{count} * TableRecordSize)) {
            return "the file ends inside the font's table directory";
        }
        for (u32 i = 0; i < count; i++) {
            const size_t record = start + OffsetTableSize + size_t{i} * TableRecordSize;
            const u32 tag = read32(bytes, record);
            const Table table{read32(bytes, record + 8), read32(bytes, record + 12)};
            if (!inside(bytes, table.offset, table.length)) {
                return "the table " + tagText(tag) + " ends past the end of the file";
            }
            remember(tag, table);
        }
        return checkContents();
    }

private:
    void remember(u32 tag, Table table)
    {
        if (!find(tag)) found.push_back({tag, table});
    }

    std::optional<Table> find(u32 tag) const
    {
        for (const auto& [known, table] : found) {
            if (known == tag) return table;
        }
        return std::nullopt;
    }

    std::string checkContents() const
    {
        for (const char* name : {"cmap", "head", "hhea", "hmtx"}) {
            if (!find(tagOf(name))) return "the table " + tagText(tagOf(name)) + " is missing";
        }
        const Table head = *find(tagOf("head")), hhea = *find(tagOf("hhea"));
        const Table hmtx = *find(tagOf("hmtx")), cmap = *find(tagOf("cmap"));
        if (head.length < HeadSize) return "the table 'head' is too short";
        if (hhea.length < HheaSize) return "the table 'hhea' is too short";
        if (u64{read16(bytes, hhea.offset + 34)} * 4 > hmtx.length) return "the table 'hmtx' is too short";
        if (std::string problem = checkCmap(cmap); !problem.empty()) return problem;

        const std::optional<Table> maxp = find(tagOf("maxp"));
        if (maxp && maxp->length < MaxpSize) return "the table 'maxp' is too short";
        if (find(tagOf("CFF "))) return ""; // outlines in the CFF table, read through its own offsets
        const std::optional<Table> loca = find(tagOf("loca")), glyf = find(tagOf("glyf"));
        if (!loca || !glyf) return "the glyph tables 'loca' and 'glyf' are missing";
        if (!maxp) return "the table 'maxp' is missing";
        return checkLoca(*loca, *glyf, read16(bytes, maxp->offset + 4), read16(bytes, head.offset + 50));
    }

    std::string checkCmap(Table cmap) const
    {
        if (cmap.length < CmapHeaderSize) return "the table 'cmap' is too short";
        const u32 count = read16(bytes, cmap.offset + 2);
        if (CmapHeaderSize + u64{count} * CmapRecordSize > cmap.length) return "the table 'cmap' is too short";
        for (u32 i = 0; i < count; i++) {
            const u32 subtable = read32(bytes, cmap.offset + CmapHeaderSize + size_t{i} * CmapRecordSize + 4);
            if (u64{subtable} + 4 > cmap.length) return "a character map ends past the table 'cmap'";
        }
        return "";
    }

    // Every glyph's outline starts and ends inside 'glyf'.
    std::string checkLoca(Table loca, Table glyf, u32 glyphCount, u32 longOffsets) const
    {
        const u32 entrySize = longOffsets ? 4 : 2;
        if ((u64{glyphCount} + 1) * entrySize > loca.length) return "the table 'loca' is too short";
        for (u32 g = 0; g <= glyphCount; g++) {
            const size_t at = loca.offset + size_t{g} * entrySize;
            const u64 offset = longOffsets ? read32(bytes, at) : u64{read16(bytes, at)} * 2;
            if (offset > glyf.length) return "a glyph lies past the end of the table 'glyf'";
        }
        return "";
    }

    const std::vector<u8>& bytes;
    size_t start;
    std::vector<std::pair<u32, Table>> found;
};

} // namespace

std::string fontFileProblem(const std::vector<u8>& bytes)
{
    if (bytes.size() >= CollectionHeaderSize && read32(bytes, 0) == tagOf("ttcf")) {
        const u32 fonts = read32(bytes, 8);
        if (fonts == 0 || !inside(bytes, CollectionHeaderSize, u64{fonts} * 4)) {
            return "the file ends inside the font collection's header";
        }
        // The library reads the first font of a collection.
        return FontTables(bytes, read32(bytes, CollectionHeaderSize)).check();
    }
    return FontTables(bytes, 0).check();
}

namespace {

// A glyph drawn larger than this many times the font's pixel size, or placed or advanced
// further, or lines reaching further from the baseline, come from garbage: the glyphs of
// ordinary Latin fonts stay within one size (Roboto's largest is 22 px at 24 px). The
// bound also keeps every glyph far inside the atlas builder's bitmap buffers (256 KiB
// each; it writes past one for a larger glyph) and the atlas small.
constexpr i64 MaxGlyphSpan = 2;

// FreeType's own texts of its errors (the library is built without them).
const char* freeTypeErrorText(FT_Error error)
{
#undef FTERRORS_H_
#define FT_ERROR_START_LIST switch (error) {
#define FT_ERRORDEF(e, v, s) \
    case v:                  \
        return s;
#define FT_ERROR_END_LIST }
#include FT_ERRORS_H
    return "unknown error";
}

std::string charName(u32 c)
{
    if (c > 0x20 && c < 0x7F) return std::string("'") + static_cast<char>(c) + "'";
    char name[8];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(c));
    return name;
}

class FreeTypeFont {
public:
    ~FreeTypeFont()
    {
        if (face != nullptr) FT_Done_Face(face);
        if (library != nullptr) FT_Done_FreeType(library);
    }

    std::string open(const std::vector<u8>& bytes)
    {
        if (FT_Error error = FT_Init_FreeType(&library)) return std::string("FreeType: ") + freeTypeErrorText(error);
        if (FT_Error error = FT_New_Memory_Face(library, bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &face)) {
            return std::string("FreeType cannot read it (") + freeTypeErrorText(error) + ")";
        }
        if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) return "it has no Unicode character map";
        return "";
    }

    // The atlas builder asks for a size whose ascender-to-descender span is the size
    // (FreeType's "real dimension" request), of whole pixels.
    std::string checkSize(f32 size, std::vector<f32>* advances)
    {
        const i64 pixels = static_cast<i64>(size);
        const std::string at = " at " + std::to_string(pixels) + " px";
        FT_Size_RequestRec request{FT_SIZE_REQUEST_TYPE_REAL_DIM, 0, static_cast<FT_Long>(pixels * 64), 0, 0};
        if (FT_Error error = FT_Request_Size(face, &request)) {
            return "it cannot be scaled to " + std::to_string(pixels) + " px (" + freeTypeErrorText(error) + ")";
        }
        const i64 limit = MaxGlyphSpan * pixels;
        const FT_Size_Metrics& metrics = face->size->metrics;
        const FT_Pos reach = std::max(std::abs(metrics.ascender), std::abs(metrics.descender));
        if (reach > limit * 64) {
            return "its lines" + at + " reach " + std::to_string(reach / 64) + " px from the baseline";
        }
        for (u32 c = FontFirstChar; c <= FontLastChar; c++) {
            const FT_UInt glyph = FT_Get_Char_Index(face, c);
            if (glyph == 0) {
                // The builder leaves out what the map lacks; the game writes ASCII.
                if (c < 0x7F) return "it has no glyph for " + charName(c);
                continue;
            }
            if (std::string problem = checkGlyph(glyph, limit); !problem.empty()) {
                return "the glyph of " + charName(c) + at + " " + problem;
            }
            // In 16.16 fixed point, unhinted: what the glyph's metrics say exactly.
            if (advances != nullptr) {
                (*advances)[c - FontFirstChar] = static_cast<f32>(face->glyph->linearHoriAdvance) / 65536.0f;
            }
        }
        return "";
    }

private:
    // Loads and draws as the atlas builder does (outlines only, no hinting, 8-bit
    // coverage), which asserts an outline and a pixel mode it knows.
    std::string checkGlyph(FT_UInt glyph, i64 limit)
    {
        constexpr FT_Int32 flags = FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING | FT_LOAD_TARGET_NORMAL;
        if (FT_Error error = FT_Load_Glyph(face, glyph, flags)) {
            return std::string("cannot be read (") + freeTypeErrorText(error) + ")";
        }
        FT_GlyphSlot slot = face->glyph;
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return "is not an outline";
        if (FT_Error error = FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL)) {
            return std::string("cannot be drawn (") + freeTypeErrorText(error) + ")";
        }
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.width > limit) return "is " + std::to_string(bitmap.width) + " px wide";
        if (bitmap.rows > limit) return "is " + std::to_string(bitmap.rows) + " px tall";
        if (bitmap.width > 0 && bitmap.rows > 0 && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
            return "is drawn in an unknown pixel format";
        }
        if (std::abs(slot->bitmap_left) > limit || std::abs(slot->bitmap_top) > limit) {
            return "lies " + std::to_string(std::max(std::abs(slot->bitmap_left), std::abs(slot->bitmap_top))) +
                   " px from its place";
        }
        if (std::abs(slot->advance.x) > limit * 64) return "advances " + std::to_string(slot->advance.x / 64) + " px";
        return "";
    }

    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

} // namespace

std::string fontGlyphProblem(const std::vector<u8>& bytes, std::span<const f32> pixelSizes, FontAdvances* advances)
{
    FreeTypeFont font;
    if (std::string problem = font.open(bytes); !problem.empty()) return problem;
    if (advances != nullptr) advances->assign(pixelSizes.size(), std::vector<f32>(FontLastChar - FontFirstChar + 1));
    for (size_t i = 0; i < pixelSizes.size(); i++) {
        std::vector<f32>* sizeAdvances = advances != nullptr ? &(*advances)[i] : nullptr;
        if (std::string problem = font.checkSize(pixelSizes[i], sizeAdvances); !problem.empty()) return problem;
    }
    return "";
}
