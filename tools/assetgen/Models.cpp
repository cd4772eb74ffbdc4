#include "Generators.h"

bool generateModels(const std::filesystem::path&)
{
    return true; // nothing generated yet
}
