#include "Generators.h"

bool generateSkybox(const std::filesystem::path&)
{
    return true; // nothing generated yet
}
