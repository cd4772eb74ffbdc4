#include "World/Terrain/CollisionMesh.h"

#include "World/Terrain/GenerationProgress.h"
#include "World/Terrain/QuadSplit.h"
#include "World/Terrain/TerrainBvh.h"
#include "World/Terrain/TerrainGrid.h"

#include <BulletCollision/CollisionShapes/btBvhTriangleMeshShape.h>
#include <BulletCollision/CollisionShapes/btTriangleMesh.h>

void fillCollisionMesh(const TerrainGrid& grid, btTriangleMesh& mesh)
{
    const u32 n = grid.gridSize;
    if (n < 2) return;
    const int triangles = static_cast<int>(2 * (n - 1) * (n - 1));
    mesh.preallocateVertices(3 * triangles);
    mesh.preallocateIndices(3 * triangles);

    const glm::vec3 origin = grid.origin;
    for (u32 x = 0; x + 1 < n; x++) {
        if (grid.progress) grid.progress->set(static_cast<f32>(x) / static_cast<f32>(n - 1));
        f32 x0 = origin.x + static_cast<f32>(x);
        f32 x1 = origin.x + static_cast<f32>(x + 1);
        for (u32 y = 0; y + 1 < n; y++) {
            f32 h00 = grid.stepHeightAt(x, y);
            f32 h10 = grid.stepHeightAt(x + 1, y);
            f32 h01 = grid.stepHeightAt(x, y + 1);
            f32 h11 = grid.stepHeightAt(x + 1, y + 1);
            f32 z0 = origin.z + static_cast<f32>(y);
            f32 z1 = origin.z + static_cast<f32>(y + 1);
            btVector3 p00(x0, origin.y + h00, z0);
            btVector3 p10(x1, origin.y + h10, z0);
            btVector3 p01(x0, origin.y + h01, z1);
            btVector3 p11(x1, origin.y + h11, z1);
            if (splitsAlongP00P11(h00, h10, h01, h11)) {
                mesh.addTriangle(p11, p00, p10);
                mesh.addTriangle(p00, p11, p01);
            } else {
                mesh.addTriangle(p01, p00, p10);
                mesh.addTriangle(p10, p11, p01);
            }
        }
    }
}

btBvhTriangleMeshShape* buildCollisionShape(btTriangleMesh* mesh, u32 threads, const TerrainGrid* grid)
{
    auto* shape = new TerrainCollisionShape(mesh, threads);
    if (grid != nullptr) {
        shape->useGrid(grid->gridSize, btVector3(grid->origin.x, grid->origin.y, grid->origin.z));
    }
    return shape;
}
