#include "Generators.h"

#include <cstdio>
#include <filesystem>

// Writes the game's generated models and textures under the given assets directory.
int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: assetgen <assets directory>\n");
        return 2;
    }
    std::filesystem::path assets = argv[1];
    std::filesystem::create_directories(assets);
    bool ok = generateModels(assets);
    ok = generateSprites(assets) && ok;
    ok = generateSkybox(assets) && ok;
    return ok ? 0 : 1;
}
