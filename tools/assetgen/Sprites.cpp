#include "Generators.h"

bool generateSprites(const std::filesystem::path&)
{
    return true; // nothing generated yet
}
