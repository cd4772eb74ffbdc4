#include "Generators.h"
#include "GlbWriter.h"
#include "ModelShapes.h"
#include "Palette.h"

std::vector<KitMesh> makeSmoke()
{
    // A lumpy puff of overlapping blobs, about one unit in radius: the particle
    // renderer scales it by each puff's size.
    KitMesh puff;
    puff.name = "Smoke";
    struct Blob {
        glm::vec3 centre;
        f32 radius;
    };
    const Blob blobs[] = {
        {{0.0f, 0.0f, 0.0f}, 0.72f},     {{0.45f, 0.14f, 0.12f}, 0.52f}, {{-0.36f, 0.2f, -0.26f}, 0.5f},
        {{0.06f, -0.18f, 0.43f}, 0.46f}, {{-0.14f, 0.36f, 0.34f}, 0.42f}, {{0.18f, 0.32f, -0.36f}, 0.4f},
    };
    u32 seed = 1;
    for (const Blob& blob : blobs) {
        addEllipsoid(puff, blob.centre, glm::vec3(blob.radius), 6, 10, shade(Palette::smoke, seed++));
    }
    return {puff};
}

bool generateModels(const std::filesystem::path& assets)
{
    struct Model {
        const char* file;
        std::vector<KitMesh> meshes;
    };
    const Model models[] = {
        {"Buildings/BdWall/wall.glb", makeWall()},
        {"Buildings/BdCastle/castle.glb", makeCastle()},
        {"Buildings/BdPortal/portal.glb", makePortal()},
        {"Buildings/Towers/TwCannon/cannon.glb", makeCannonTower()},
        {"Buildings/Towers/TwMortar/mortar.glb", makeMortarTower()},
        {"Particles/smoke.glb", makeSmoke()},
    };
    bool ok = true;
    for (const Model& model : models) {
        ok = writeGlb(assets / model.file, model.meshes) && ok;
    }
    return ok;
}
