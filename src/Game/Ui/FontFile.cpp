#include "Game/Ui/FontFile.h"

#include <fstream>
#include <iterator>
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

std::string tagText(u32 tag)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) text += static_cast<char>((tag >> shift) & 0xFF);
    return "'" + text + "'";
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

bool readFontFile(const std::string& path, std::vector<u8>* bytes)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}
