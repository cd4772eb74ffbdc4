#include "Generators.h"

#include <cstdio>
#include <filesystem>
#include <string_view>

// Writes the game's generated models and textures under the given assets directory;
// with --models-only, the models alone (for builds that only test them).
int main(int argc, char** argv)
{
    const bool modelsOnly = argc == 3 && std::string_view(argv[2]) == "--models-only";
    if (argc != 2 && !modelsOnly) {
        std::fprintf(stderr, "usage: assetgen <assets directory> [--models-only]\n");
        return 2;
    }
    std::filesystem::path assets = argv[1];
    std::filesystem::create_directories(assets);
    bool ok = generateModels(assets);
    if (!modelsOnly) {
        ok = generateSprites(assets) && ok;
        ok = generateSkybox(assets) && ok;
    }
    return ok ? 0 : 1;
}
