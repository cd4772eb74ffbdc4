#include "Engine/Helper/QuotedText.h"

#include <algorithm>
#include <cstdint>

namespace {

// The code point of the well-formed UTF-8 sequence at the start of `text`, and its
// length in `length`; 0 for a byte that starts none (then `length` is 0).
char32_t decode(std::string_view text, size_t& length)
{
    length = 0;
    const auto byte = [&text](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(0);
    size_t size = 0;
    char32_t code = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        length = 1;
        return lead;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2, code = lead & 0x1Fu, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3, code = lead & 0x0Fu, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4, code = lead & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < size) return 0;
    for (size_t k = 1; k < size; k++) {
        if ((byte(k) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(k) & 0x3Fu);
    }
    // Overlong forms, surrogates and code points past Unicode's last.
    if (code < least || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    length = size;
    return code;
}

// Characters that show nothing of their own but change how the text around them shows,
// or hide some of it: C1 controls, Unicode's format characters (category Cf: the soft
// hyphen, zero-width spaces and joiners, the bidirectional controls, the byte order
// mark, invisible operators, tags, ...) and the line and paragraph separators.
struct CodeRange {
    char32_t first;
    char32_t last;
};
constexpr CodeRange Hidden[] = {
    {0x0080, 0x009F}, {0x00AD, 0x00AD}, {0x0600, 0x0605}, {0x061C, 0x061C}, {0x06DD, 0x06DD},
    {0x070F, 0x070F}, {0x0890, 0x0891}, {0x08E2, 0x08E2}, {0x180E, 0x180E}, {0x200B, 0x200F},
    {0x2028, 0x202E}, {0x2060, 0x2064}, {0x2066, 0x206F}, {0xFEFF, 0xFEFF}, {0xFFF9, 0xFFFB},
    {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A},
    {0xE0001, 0xE0001}, {0xE0020, 0xE007F},
};

bool escapedAsCodePoint(char32_t code)
{
    for (const CodeRange& range : Hidden) {
        if (code >= range.first && code <= range.last) return true;
    }
    return false;
}

std::string hex(uint32_t value, int digits)
{
    static const char Digits[] = "0123456789abcdef";
    std::string text(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; i--, value >>= 4) text[static_cast<size_t>(i)] = Digits[value & 0xF];
    return text;
}

// How the character at the start of `text` is written out; `length` is how many bytes
// of `text` it takes. `quoting`: whether double quotes and backslashes are escaped.
std::string written(std::string_view text, size_t& length, bool quoting)
{
    const char32_t code = decode(text, length);
    if (length == 0) {
        length = 1;
        return "\\x" + hex(static_cast<uint8_t>(text[0]), 2);
    }
    if (!quoting && (code == '"' || code == '\\')) return std::string(1, static_cast<char>(code));
    switch (code) {
    case '\t': return "\\t";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\\': return "\\\\";
    case '"': return "\\\"";
    default: break;
    }
    if (code < 0x20 || code == 0x7F) return "\\x" + hex(code, 2);
    if (escapedAsCodePoint(code)) return code > 0xFFFF ? "\\U" + hex(code, 8) : "\\u" + hex(code, 4);
    return std::string(text.substr(0, length));
}

// `text` written out in at most `maxBytes`: when the whole does not fit, as much as
// fits with "..." after it.
std::string writtenOut(std::string_view text, size_t maxBytes, bool quoting)
{
    constexpr std::string_view Cut = "...";
    std::string out;
    size_t fits = 0; // how much of `out` leaves room for the "..." after it
    size_t at = 0;
    while (at < text.size()) {
        size_t length = 0;
        const std::string piece = written(text.substr(at), length, quoting);
        if (out.size() + piece.size() > maxBytes) {
            out.resize(fits);
            return out.append(Cut.substr(0, std::min(Cut.size(), maxBytes - fits)));
        }
        out += piece;
        if (out.size() + Cut.size() <= maxBytes) fits = out.size();
        at += length;
    }
    return out;
}

} // namespace

std::string escapedText(std::string_view text, size_t maxBytes)
{
    return writtenOut(text, maxBytes, true);
}

std::string messageText(std::string_view text, size_t maxBytes)
{
    return writtenOut(text, maxBytes, false);
}

std::string quotedText(std::string_view text, size_t maxBytes)
{
    // (The quotes count towards the bound.)
    return "\"" + escapedText(text, maxBytes > 2 ? maxBytes - 2 : 0) + "\"";
}
