#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Every message that shows text taken from a file (a name, a URI, a path, a member, a
// value) shows it through here, so that what a file holds can never act on the
// terminal that prints the line nor make the line long: the text comes out as valid
// UTF-8 on one line, with everything that is not printable escaped:
// - C0 controls and DEL as \t, \n, \r or \xHH; bytes that are not UTF-8 (stray or
//   truncated sequences, overlong forms, surrogates) as \xHH;
// - C1 controls (U+0080 to U+009F, among them a terminal's CSI, U+009B), Unicode's
//   format characters, which show nothing but hide or reorder the text around them
//   (the soft hyphen U+00AD, the zero-width spaces and joiners U+200B to U+200D, the
//   bidirectional controls U+061C, U+200E, U+200F, U+202A to U+202E and U+2066 to
//   U+2069, the word joiner U+2060, the byte order mark U+FEFF, tags, and the rest of
//   category Cf) and the line and paragraph separators (U+2028, U+2029) as \uHHHH, or
//   \UHHHHHHHH past U+FFFF;
// - the backslash and the double quote as \\ and \", so that the quotes around the text
//   are where it ends.
// The whole written out, its quotes and a closing "..." counted, takes at most
// `maxBytes`: longer text is cut between whole characters and escapes, and ends in
// "...". Pure.

// What a message quotes of a file's text, at most.
constexpr size_t QuotedTextBytes = 96;

// The text escaped and cut, in double quotes: "wall.bin", "a\x1bb", "abc...".
std::string quotedText(std::string_view text, size_t maxBytes = QuotedTextBytes);

// The same without the quotes, for text set into a longer phrase (a member's path).
std::string escapedText(std::string_view text, size_t maxBytes = QuotedTextBytes);

// A whole message from elsewhere (a library's error text, an exception's), which may
// echo a file's bytes, fit for a line: as escapedText, but its double quotes and
// backslashes are left as they are, being the message's own quoting.
std::string messageText(std::string_view text, size_t maxBytes);
