#pragma once

#include "Engine/Types.h"

#include <string>
#include <vector>

// What holds part of a mesh storage: a model or a shape the game made, named as the
// game's lines name it (model "assets/Buildings/BdWall/wall.glb", the cannonball's
// sphere), and the bytes it took.
struct MeshStorageHolder {
    std::string name;
    u64 bytes = 0;
};

// What each holder took of one mesh storage, so that a line about a storage without
// room can say where the room went. Its writer records each holder once written.
class MeshStorageHolders {
public:
    // `name` took `bytes` more of the storage; a holder recorded again (a model loaded
    // twice) holds the sum.
    void record(const std::string& name, u64 bytes);
    // The holder of the most bytes, the first recorded among equals; one without a
    // name or bytes when nothing was recorded.
    MeshStorageHolder largest() const;

private:
    std::vector<MeshStorageHolder> holders; // in the order first recorded
};

// The line for a mesh (`what`: "model \"...\"", "the cannonball's sphere") of
// `vertices` vertices and `indices` indices in all that needs `needed` bytes of a mesh
// storage of `size` bytes with `left` of them left: "<what> is too large for the mesh
// storage: ...", ending, when something holds part of the storage, with
// "; <holder> holds the most of it (<bytes> bytes)".
std::string tooLargeForMeshStorageMessage(const std::string& what, u64 vertices, u64 indices, u64 needed, u64 left,
                                          u64 size, const MeshStorageHolder& largest);
