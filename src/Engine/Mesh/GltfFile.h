#pragma once

#include "Engine/Types.h"

#include <string>
#include <string_view>

// What the game checks of a model file before the model importer parses it. Models are
// glTF files: binary (".glb"), or JSON text with its data inside or beside it. The
// importer trusts the lengths in a glTF binary's header and chunks (a chunk that claims
// four gigabytes is allocated before anything is read) and parses JSON by recursion
// (JSON nested a few hundred thousand deep ends the process with the stack); it would
// also read any of the dozens of other formats it knows, each with its own parser, none
// of which the game's models are. Pure.
namespace GltfFile {

// JSON nested deeper than this is refused: a model's JSON is about eight deep, and the
// importer's parser is far from the end of its stack at this depth.
constexpr u32 MaxJsonNesting = 64;

// What the import of a model may make. The importer takes nodes by recursion (a chain of
// a few hundred thousand ends the process with the stack), repeats a node shared by
// several parents under each of them (forty nodes, each a parent twice of the next, make
// a trillion), and reads an accessor once for every primitive and morph target that
// names it (a few kilobytes of JSON can ask for gigabytes). The game's models have a
// handful of nodes one or two deep and a few thousand vertices.
constexpr u32 MaxNodeDepth = 256;
constexpr u64 MaxNodeInstances = 100000;
// Accessor elements read for the meshes: every attribute and index list of every
// primitive, and for each morph target the primitive's attributes again (the importer
// copies them into it) with the target's own. The 10 MB mesh storage holds at most 2.5
// million 4-byte values; this leaves room for attributes a model has and its vertex
// layout does not take.
constexpr u64 MaxAccessorElements = 4000000;

// Empty when `bytes` are a glTF binary file of version 2 whose header length is the
// file's size and whose chunks (the first one JSON) fill it exactly, or JSON text (its
// first character other than white space is "{"), in either case with JSON nested at
// most MaxJsonNesting deep and with nodes and meshes within the bounds above; else why
// not, as a phrase to follow the file's name ("is not a glTF file", "has a chunk of ...
// bytes at byte ... that passes the end of the file (... bytes)", ...). JSON that cannot
// be parsed is left to the importer to report.
std::string problem(std::string_view bytes);

// The deepest nesting of arrays and objects in JSON `text` (brackets inside strings do
// not count), or `limit` + 1 as soon as it passes `limit`. Text that is not JSON is
// measured as far as its brackets go.
u32 jsonNesting(std::string_view text, u32 limit);

} // namespace GltfFile
