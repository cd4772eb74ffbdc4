#pragma once

#include "Engine/Types.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What the game takes of a glTF model, checked, and the glTF binary of it that the model
// importer is given instead of the file. The game reads only meshes: their names and
// their primitives' positions, normals, first texture coordinates, first colours,
// indices and modes. The importer would read much more (nodes, skins, animations,
// morph targets, sparse accessors, materials, named files), trusting counts and offsets
// it does not check; so it never sees the file: it reads a document written here of what
// was checked, with every accessor's elements packed into one binary chunk. Pure.
namespace GltfModel {

// Bounds on what a model may ask for. The game's models have a handful of meshes and a
// few thousand vertices.
// Accessor elements the game copies out of the file (and then joins, VertexJoin.h):
// every attribute and index list, counted for each primitive that reads it. It bounds
// the time and memory of the checks and the join; what is imported is bounded by the
// mesh storage (10 MB, at most 2.5 million 4-byte values), checked before the import.
constexpr u64 MaxAccessorElements = 4000000;
// Primitives of all meshes: each becomes a mesh of the importer's and of the game's,
// at a cost of kilobytes and tens of microseconds each whatever its size.
constexpr u64 MaxPrimitives = 4096;
constexpr u32 MaxJsonNesting = 64;
// Values kept of the members read (meshes, primitives, accessors, buffer views, buffers).
constexpr u64 MaxJsonValues = 200000;
constexpr u64 MaxObjectMembers = 65536;
constexpr size_t MaxNameBytes = 256;

struct Accessor {
    u32 componentType = 0;
    std::string type; // "SCALAR", "VEC2", "VEC3" or "VEC4"
    u64 count = 0;
    std::vector<u8> bytes; // the elements, packed
};

struct Primitive {
    std::vector<std::pair<std::string, u32>> attributes; // semantic, index into Model::accessors
    std::optional<u32> indices;
    u32 mode = 4;
};

struct Mesh {
    std::optional<std::string> name;
    std::vector<Primitive> primitives;
};

struct Model {
    std::vector<Mesh> meshes;         // in the file's order, each with all its primitives
    std::vector<Accessor> accessors;  // those the primitives read, in the order first read
};

// Reads the file a buffer names, `relative` below the model's folder (escapes decoded):
// sets `bytes` and gives an empty string, or gives why not, as a phrase to follow the
// model's name ("its file \"assets/x/wall.bin\" is a named pipe, not a regular file").
using FileReader = std::function<std::string(const std::string& relative, const std::vector<u8>*& bytes)>;

// Reads the model file `file` (a glTF binary or JSON text) into `model`. Empty, or why
// not as a phrase to follow "cannot be read: " and the model's name: the file's form
// ("the file has a chunk of ..."), its JSON ("its JSON names the member \"nodes\"
// twice"), a member at fault ("accessors[2] is sparse, which the game does not read"),
// or a named file.
std::string read(std::string_view file, const FileReader& readFile, Model& model);

// The glTF binary the importer reads: every mesh with its name and primitives, a node
// for each and one scene of them all, the accessors packed one after another in the
// binary chunk, a buffer view each.
std::vector<u8> write(const Model& model);

// The file below the model's folder that a buffer's `uri` names, with its escapes
// ("%20") decoded; empty, with `problem` set (a phrase to follow the URI), for a URI
// that names anything else: one with a scheme, an absolute path, a step up ("..") out
// of the folder. A step up that stays below it ("sub/../wall.bin") is kept as it is.
std::string fileBelowModel(std::string_view uri, std::string& problem);

} // namespace GltfModel
