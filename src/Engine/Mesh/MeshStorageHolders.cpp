#include "Engine/Mesh/MeshStorageHolders.h"

void MeshStorageHolders::record(const std::string& name, u64 bytes)
{
    for (MeshStorageHolder& holder : holders) {
        if (holder.name == name) {
            holder.bytes += bytes;
            return;
        }
    }
    holders.push_back({name, bytes});
}

MeshStorageHolder MeshStorageHolders::largest() const
{
    MeshStorageHolder most;
    for (const MeshStorageHolder& holder : holders) {
        if (holder.bytes > most.bytes) most = holder;
    }
    return most;
}

std::string tooLargeForMeshStorageMessage(const std::string& what, u64 vertices, u64 indices, u64 needed, u64 left,
                                          u64 size, const MeshStorageHolder& largest)
{
    std::string line = what + " is too large for the mesh storage: its " + std::to_string(vertices) + " vertices and " +
                       std::to_string(indices) + " indices take " + std::to_string(needed) + " bytes, and " +
                       std::to_string(left) + " of the storage's " + std::to_string(size) + " are left";
    if (largest.bytes > 0) {
        line += "; " + largest.name + " holds the most of it (" + std::to_string(largest.bytes) + " bytes)";
    }
    return line;
}
