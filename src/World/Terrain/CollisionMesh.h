#pragma once

#include "Engine/Types.h"

class btTriangleMesh;
class btBvhTriangleMeshShape;
class TerrainGrid;

// Fills `mesh` (32-bit indices, 4-component vertices) with two world-space triangles
// per grid quad, split along the longer diagonal, without merging shared vertices.
// Reports progress per column of quads to the grid's progress record.
void fillCollisionMesh(const TerrainGrid& grid, btTriangleMesh& mesh);

// The static collision shape over the mesh: quantised bounding-box compression and a
// built BVH, built on `threads` threads (0: all). Given the grid the mesh was filled
// from, the shape finds the triangles in a box from the grid's quads.
btBvhTriangleMeshShape* buildCollisionShape(btTriangleMesh* mesh, u32 threads, const TerrainGrid* grid = nullptr);
