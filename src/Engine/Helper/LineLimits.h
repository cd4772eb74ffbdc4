#pragma once

#include <cstddef>

// How long a line the game prints may be, and how much of a whole message from
// elsewhere (a library's error text, an exception's) a line shows. Such a message may
// echo a file's bytes ("last read: ..."), so it is shown through escapedText, cut to
// MessageBytes; a name or a value taken from a file is quoted with quotedText's own
// bound (QuotedText.h).
namespace LineLimits {

// A longer line is cut to this many bytes, its "..." included, as it is printed.
constexpr size_t LineBytes = 1024;
// A library's or an exception's message in a line, escaped: room for what the
// library says and the start of what it quotes, and for the file's name around it.
constexpr size_t MessageBytes = 512;
// A path in a line, quoted as any text from a file (a model's buffer path is built from
// the file's URI): room for the game's own paths whole.
constexpr size_t PathBytes = 256;

} // namespace LineLimits
