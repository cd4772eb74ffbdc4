#pragma once

#include "MeshKit.h"

#include <filesystem>
#include <vector>

// Writes the meshes as one glTF binary file through Assimp's exporter: one node and
// one single-primitive mesh per KitMesh, in order, with identity transforms.
//
// The game's importer maps a file position (x, y, z) to (-z, y, -x) and flips the
// winding; this writer applies the inverse mapping (the same one: it is its own
// inverse) and flips the winding too, so the game sees exactly the authored geometry,
// and the file itself stays counter-clockwise outward as glTF expects. Colours are
// float RGBA; texture coordinates are stored as Assimp expects them (v up). Coloured
// meshes without texture coordinates get a TEXCOORD_0 that tells their colours apart
// (see the writer), which no game layout of such meshes reads.
// Returns false after printing a line that names the file when it cannot be written.
bool writeGlb(const std::filesystem::path& file, const std::vector<KitMesh>& meshes);

// The file-space position of a game-space one, and back (the mapping is symmetric).
glm::vec3 toFileAxes(glm::vec3 game);
