#pragma once

#include <filesystem>

// Each generator writes its files under the assets directory and returns false (after
// printing why) when it cannot.
bool generateModels(const std::filesystem::path& assets);   // glb models
bool generateSprites(const std::filesystem::path& assets);  // interface sprite sheets
bool generateSkybox(const std::filesystem::path& assets);   // star cube-map faces
