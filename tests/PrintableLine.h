#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// What a line the game prints may hold: valid UTF-8, no C0 control (a tab included), no
// DEL, no C1 control, no bidirectional control, no invisible format character (the soft
// hyphen, zero-width spaces and joiners, the byte order mark, tags) and no line or
// paragraph separator, and at most a kilobyte. Decoded here on its own, apart from the game's escaping, so that
// the tests check that escaping rather than restate it.

namespace printable_line {

constexpr size_t MaxLineBytes = 1024;

inline std::string byteAt(std::string_view what, size_t at, uint32_t value)
{
    char text[96];
    std::snprintf(text, sizeof text, "%.*s at byte %zu (0x%X)", static_cast<int>(what.size()), what.data(), at,
                  static_cast<unsigned>(value));
    return text;
}

// The code point of the well-formed UTF-8 sequence at `at`, its length in `length`;
// `length` 0 when none starts there.
inline uint32_t decodeAt(std::string_view line, size_t at, size_t& length)
{
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(line[at + i]); };
    const uint8_t lead = byte(0);
    length = 0;
    if (lead < 0x80) {
        length = 1;
        return lead;
    }
    size_t size = 0;
    uint32_t least = 0;
    uint32_t code = 0;
    if ((lead & 0xE0) == 0xC0) {
        size = 2, least = 0x80, code = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        size = 3, least = 0x800, code = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        size = 4, least = 0x10000, code = lead & 0x07u;
    } else {
        return 0;
    }
    if (line.size() - at < size) return 0;
    for (size_t i = 1; i < size; i++) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(i) & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    length = size;
    return code;
}

inline bool controlsTextDirection(uint32_t code)
{
    return code == 0x061C || code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069);
}

// The format characters most used to hide text: they show nothing.
inline bool invisible(uint32_t code)
{
    return code == 0x00AD || (code >= 0x200B && code <= 0x200D) || (code >= 0x2060 && code <= 0x2064) ||
           code == 0xFEFF || code == 0xE0001 || (code >= 0xE0020 && code <= 0xE007F);
}

} // namespace printable_line

// "" when `line` may be printed as it is, else what is wrong with it first.
inline std::string linePrintableProblem(std::string_view line)
{
    using namespace printable_line;
    if (line.size() > MaxLineBytes) {
        return std::to_string(line.size()) + " bytes, more than " + std::to_string(MaxLineBytes);
    }
    for (size_t at = 0; at < line.size();) {
        size_t length = 0;
        const uint32_t code = decodeAt(line, at, length);
        if (length == 0) return byteAt("not UTF-8", at, static_cast<uint8_t>(line[at]));
        if (code < 0x20 || code == 0x7F) return byteAt("a control character", at, code);
        if (code >= 0x80 && code <= 0x9F) return byteAt("a C1 control character", at, code);
        if (controlsTextDirection(code)) return byteAt("a bidirectional control", at, code);
        if (invisible(code)) return byteAt("an invisible format character", at, code);
        if (code == 0x2028 || code == 0x2029) return byteAt("a line or paragraph separator", at, code);
        at += length;
    }
    return "";
}
