#pragma once

#include "Engine/Types.h"

#include <string>
#include <string_view>
#include <vector>

// The two forms of a glTF file, without what their JSON says: a glTF binary (".glb": a
// header, a JSON chunk and an optional binary chunk) or JSON text alone. The importer
// would trust a binary's header and chunk lengths (a chunk that claims four gigabytes
// is allocated before anything is read), and would read any of the dozens of other
// formats it knows, each with its own parser; here every length is checked against the
// file. Pure.
namespace GltfFile {

struct Parts {
    std::string_view json;
    std::string_view binary; // the binary chunk's data (empty: none)
    bool isBinary = false;   // a glTF binary (else JSON text)
};

// Splits `bytes` into its parts. Empty when they are a glTF binary of version 2 whose
// header length is the file's size and whose chunks (the first one JSON, the second,
// if any, binary) fill it exactly, or JSON text (its first character other than white
// space is "{"); else why not, as a phrase to follow "the file" ("is not a glTF file",
// "has a chunk of ... bytes at byte ... that passes the end of the file (... bytes)").
std::string split(std::string_view bytes, Parts& parts);

// A glTF binary of version 2 of `json` and, unless empty, the binary chunk `binary`:
// the JSON padded with spaces, the binary data with zeros, to four bytes.
std::vector<u8> join(std::string_view json, std::string_view binary);

} // namespace GltfFile
