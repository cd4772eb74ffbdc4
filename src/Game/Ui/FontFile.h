#pragma once

// Checks a TrueType or OpenType font file before the interface library reads it: the
// library trusts every offset in the file and reads past its end on a truncated or
// corrupt one. Pure functions, no interface library.

#include "Engine/Types.h"

#include <string>
#include <vector>

// Empty when the font's tables lie inside the file and hold what the library reads;
// otherwise the first problem found ("the table 'glyf' ends past the end of the file").
std::string fontFileProblem(const std::vector<u8>& bytes);

// Reads the whole file; false when it cannot be read.
bool readFontFile(const std::string& path, std::vector<u8>* bytes);
