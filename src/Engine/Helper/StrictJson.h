#pragma once

#include "Engine/Types.h"

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <vector>

// Reads JSON text strictly, keeping only the members its reader asks for. The whole
// text is read as one value of valid UTF-8 JSON with no byte order mark and nothing
// after it but white space; no object may name a member twice, nest deeper than its
// bound, or hold more members than its bound. What the reader does not ask for is read
// and checked as strictly, then dropped, so that a large document asks for memory only
// for what is kept. Pure.
namespace StrictJson {

// What is kept, as paths of member names and "[]" (every element of an array) joined
// by '/': "meshes/[]/primitives/[]/mode". A value whose path is one of `kept` is kept
// with all that lies within it; one whose path is one of `marked` is kept as `true`
// only (that it is there), and what lies within it is dropped. The objects and arrays
// on the way to a kept or marked path are kept, with nothing else in them.
struct Rules {
    std::vector<std::string> kept;
    std::vector<std::string> marked;
    u32 maxNesting = 64;          // objects and arrays within each other
    u64 maxObjectMembers = 65536; // in any one object
    u64 maxKeptValues = 200000;   // objects, arrays and values kept in all
};

struct Document {
    nlohmann::json value;
    std::string problem; // empty when read, else why not, to follow "the JSON" ("is not valid at byte 12: ...")
};

Document parse(std::string_view text, const Rules& rules);

} // namespace StrictJson
