#pragma once

#include "Engine/Types.h"

#include <glm/glm.hpp>
#include <nlohmann/json_fwd.hpp>

#include <stdexcept>
#include <string>
#include <vector>

// The records a building file is read into, and their readers. A file is one JSON
// object whose keys are looked up by name (order free, unknown keys ignored). Numbers
// convert to the field's type, a fraction into an integer field cut toward zero and
// true/false to 1/0; every value is checked against its range (BuildingFileRules).
// A reader throws BuildingFileError naming the key and what is wrong with it.

// What is wrong with a building file, as one line ("\"levels[1].cost\" is ...").
class BuildingFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Column and row of a kind's icon in the tool-bar sprite sheet.
struct LogoIndex {
    i32 x = 0;
    i32 y = 0;
};

struct BuildingLevel {
    u32 cost = 0;      // to build (level 0) or to upgrade to this level
    i32 maxHealth = 0; // a new or upgraded building gets it in full

    // `where` names the value in error messages ("levels[2]").
    static BuildingLevel fromJson(const nlohmann::json& value, const std::string& where);
};

struct BuildingConfig {
    std::string name;
    glm::ivec3 gridSize{0}; // x and z in cells, y in terrain steps
    std::vector<BuildingLevel> levels;

    static BuildingConfig fromJson(const nlohmann::json& value);
};

struct WallConfig {
    std::string name;
    glm::ivec3 gridSize{0};
    LogoIndex logoIndex;
    std::vector<BuildingLevel> levels;

    static WallConfig fromJson(const nlohmann::json& value);
};

struct TowerLevel {
    u32 cost = 0;
    i32 maxHealth = 0;
    i32 damage = 0;           // of one projectile
    i32 shootingInterval = 0; // game-logic ticks between two shots

    static TowerLevel fromJson(const nlohmann::json& value, const std::string& where);
};

struct TowerLevels {
    // Every element of the array "levels", in file order.
    static std::vector<TowerLevel> fromJson(const nlohmann::json& levels);
};

struct AimSettings {
    bool shootFlat = false; // the flat ballistic solution, else the high lob
    f32 radius = 0.0f;      // reach in grid cells
    f32 idleSpeed = 0.0f;   // yaw per tick while no target is held
    f32 aimSpeed = 0.0f;    // largest yaw and pitch change per tick while aiming
    f32 projSpeed = 0.0f;   // muzzle speed of the projectiles
    i32 shotCooldown = 0;   // kept; a placed tower uses its level's interval
    glm::vec2 verticalAimRestriction{0.0f}; // lowest (x) and highest (y) barrel pitch

    static AimSettings fromJson(const nlohmann::json& value);
};

struct TowerConfig {
    std::string name;
    glm::ivec3 gridSize{0};
    LogoIndex logoIndex;
    AimSettings aimSettings;
    std::vector<TowerLevel> levels;

    static TowerConfig fromJson(const nlohmann::json& value);
};

// Sum of the level costs from 0 to `level` inclusive: all the money put into a
// building of that level.
u32 totalCostOf(const std::vector<BuildingLevel>& levels, i32 level);

// Reads and parses a building file. Throws BuildingFileError when the file cannot be
// opened or is not valid JSON.
nlohmann::json parseBuildingFile(const std::string& path);

// Converts the parsed file `document` of `path` into `Record` (BuildingConfig,
// WallConfig or TowerConfig). On a fault `error` gets one line naming the file and
// what is wrong, and false is returned.
template <typename Record>
bool readBuildingRecord(const std::string& path, const nlohmann::json& document, Record& record, std::string& error);

// Parses `path` and converts it, as above.
template <typename Record> bool readBuildingFile(const std::string& path, Record& record, std::string& error);

// Start-up versions: a fault ends the start-up with that line (fatalError).
nlohmann::json loadBuildingFile(const std::string& path);
template <typename Record> Record loadBuildingRecord(const std::string& path, const nlohmann::json& document);
