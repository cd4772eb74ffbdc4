#include "Game/Buildings/BuildingConfig.h"

#include "Engine/Helper/Fatal.h"
#include "Engine/Helper/FileLimits.h"
#include "Engine/Helper/FileRead.h"
#include "Engine/Helper/LineLimits.h"
#include "Engine/Helper/QuotedText.h"
#include "Game/Buildings/BuildingRules.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <new>
#include <string_view>

using nlohmann::json;

namespace {

using namespace BuildingFileRules;

std::string joined(const std::string& where, const char* key)
{
    return where.empty() ? std::string(key) : where + "." + key;
}

const char* describe(const json& value)
{
    switch (value.type()) {
    case json::value_t::null: return "null";
    case json::value_t::object: return "an object";
    case json::value_t::array: return "an array";
    case json::value_t::string: return "a string";
    case json::value_t::boolean: return "true or false";
    default: return "a number";
    }
}

[[noreturn]] void wrongType(const std::string& path, const char* expected, const json& value)
{
    throw BuildingFileError(quotedText(path) + " must be " + expected + ", not " + describe(value));
}

[[noreturn]] void outOfRange(const std::string& path, const json& value, const std::string& low,
                             const std::string& high)
{
    throw BuildingFileError(quotedText(path) + " is " + value.dump() + ", outside " + low + " to " + high);
}

const json& field(const json& object, const char* key, const std::string& where)
{
    auto found = object.find(key);
    if (found == object.end()) {
        throw BuildingFileError(quotedText(joined(where, key)) + " is missing");
    }
    return *found;
}

const json& objectField(const json& object, const char* key, const std::string& where)
{
    const json& value = field(object, key, where);
    if (!value.is_object()) wrongType(joined(where, key), "an object", value);
    return value;
}

std::string stringField(const json& object, const char* key, const std::string& where)
{
    const json& value = field(object, key, where);
    if (!value.is_string()) wrongType(joined(where, key), "a string", value);
    return value.get<std::string>();
}

bool boolField(const json& object, const char* key, const std::string& where)
{
    const json& value = field(object, key, where);
    if (!value.is_boolean()) wrongType(joined(where, key), "true or false", value);
    return value.get<bool>();
}

// An integer in [low, high]: a fraction is cut toward zero, true and false are 1 and 0.
i64 integerField(const json& object, const char* key, const std::string& where, i64 low, i64 high)
{
    const std::string path = joined(where, key);
    const json& value = field(object, key, where);
    auto refuse = [&] { outOfRange(path, value, std::to_string(low), std::to_string(high)); };
    i64 result = 0;
    if (value.is_boolean()) {
        result = value.get<bool>() ? 1 : 0;
    } else if (value.is_number_unsigned()) {
        const u64 whole = value.get<u64>();
        if (whole > static_cast<u64>(high)) refuse();
        result = static_cast<i64>(whole);
    } else if (value.is_number_integer()) {
        result = value.get<i64>();
    } else if (value.is_number_float()) {
        const f64 cut = std::trunc(value.get<f64>());
        if (!(cut >= static_cast<f64>(low) && cut <= static_cast<f64>(high))) refuse();
        result = static_cast<i64>(cut);
    } else {
        wrongType(path, "a number", value);
    }
    if (result < low || result > high) refuse();
    return result;
}

i32 i32Field(const json& object, const char* key, const std::string& where, i64 low, i64 high)
{
    return static_cast<i32>(integerField(object, key, where, low, high));
}

// A finite number in [low, high].
f32 floatField(const json& object, const char* key, const std::string& where, f64 low, f64 high)
{
    const std::string path = joined(where, key);
    const json& value = field(object, key, where);
    f64 number = 0.0;
    if (value.is_boolean()) {
        number = value.get<bool>() ? 1.0 : 0.0;
    } else if (value.is_number()) {
        number = value.get<f64>();
    } else {
        wrongType(path, "a number", value);
    }
    if (!(number >= low && number <= high)) {
        outOfRange(path, value, json(low).dump(), json(high).dump());
    }
    return static_cast<f32>(number);
}

glm::ivec3 gridSizeField(const json& document)
{
    const json& size = objectField(document, "gridSize", "");
    return {i32Field(size, "x", "gridSize", MinFootprintCells, MaxFootprintCells),
            i32Field(size, "y", "gridSize", MinHeightSteps, MaxHeightSteps),
            i32Field(size, "z", "gridSize", MinFootprintCells, MaxFootprintCells)};
}

LogoIndex logoIndexField(const json& document)
{
    const json& logo = objectField(document, "logoIndex", "");
    return {i32Field(logo, "x", "logoIndex", 0, MaxLogoCell), i32Field(logo, "y", "logoIndex", 0, MaxLogoCell)};
}

// "levels": an array of one to MaxLevels objects.
const json& levelsField(const json& document)
{
    const json& levels = field(document, "levels", "");
    if (!levels.is_array()) wrongType("levels", "an array", levels);
    if (levels.empty()) {
        throw BuildingFileError("\"levels\" is empty: a building needs at least one level");
    }
    if (levels.size() > MaxLevels) {
        throw BuildingFileError("\"levels\" has " + std::to_string(levels.size()) + " entries, at most " +
                                std::to_string(MaxLevels) + " are allowed");
    }
    return levels;
}

std::string levelPath(size_t index)
{
    return "levels[" + std::to_string(index) + "]";
}

void requireObject(const json& value, const std::string& path)
{
    if (!value.is_object()) wrongType(path, "an object", value);
}

std::vector<BuildingLevel> buildingLevels(const json& document)
{
    const json& levels = levelsField(document);
    std::vector<BuildingLevel> result;
    result.reserve(levels.size());
    for (size_t i = 0; i < levels.size(); i++) {
        result.push_back(BuildingLevel::fromJson(levels[i], levelPath(i)));
    }
    return result;
}

void requireDocument(const json& document)
{
    if (!document.is_object()) {
        throw BuildingFileError("the file must hold one JSON object, not " + std::string(describe(document)));
    }
}

} // namespace

BuildingLevel BuildingLevel::fromJson(const json& value, const std::string& where)
{
    requireObject(value, where);
    BuildingLevel level;
    level.cost = static_cast<u32>(integerField(value, "cost", where, 0, MaxCost));
    level.maxHealth = i32Field(value, "maxHealth", where, MinHealth, MaxHealth);
    return level;
}

BuildingConfig BuildingConfig::fromJson(const json& value)
{
    requireDocument(value);
    BuildingConfig config;
    config.name = stringField(value, "name", "");
    config.gridSize = gridSizeField(value);
    config.levels = buildingLevels(value);
    return config;
}

WallConfig WallConfig::fromJson(const json& value)
{
    requireDocument(value);
    WallConfig config;
    config.name = stringField(value, "name", "");
    config.gridSize = gridSizeField(value);
    config.logoIndex = logoIndexField(value);
    config.levels = buildingLevels(value);
    return config;
}

TowerLevel TowerLevel::fromJson(const json& value, const std::string& where)
{
    requireObject(value, where);
    TowerLevel level;
    level.cost = static_cast<u32>(integerField(value, "cost", where, 0, MaxCost));
    level.maxHealth = i32Field(value, "maxHealth", where, MinHealth, MaxHealth);
    level.damage = i32Field(value, "damage", where, 0, MaxDamage);
    level.shootingInterval = i32Field(value, "shootingInterval", where, MinShootingInterval, MaxShootingInterval);
    return level;
}

std::vector<TowerLevel> TowerLevels::fromJson(const json& levels)
{
    std::vector<TowerLevel> result;
    result.reserve(levels.size());
    for (size_t i = 0; i < levels.size(); i++) {
        result.push_back(TowerLevel::fromJson(levels[i], levelPath(i)));
    }
    return result;
}

AimSettings AimSettings::fromJson(const json& value)
{
    const std::string where = "aimSettings";
    requireObject(value, where);
    AimSettings aim;
    aim.shootFlat = boolField(value, "shootFlat", where);
    aim.radius = floatField(value, "radius", where, MinReach, MaxReach);
    aim.idleSpeed = floatField(value, "idleSpeed", where, 0.0, MaxTurnPerTick);
    aim.aimSpeed = floatField(value, "aimSpeed", where, 0.0, MaxTurnPerTick);
    // A projectile that does not move would never leave its tower.
    aim.projSpeed = floatField(value, "projSpeed", where, 0.001, MaxProjectileSpeed);
    aim.shotCooldown = i32Field(value, "shotCooldown", where, 0, MaxShootingInterval);
    const json& pitch = objectField(value, "verticalAimRestriction", where);
    const std::string pitchWhere = where + ".verticalAimRestriction";
    aim.verticalAimRestriction.x = floatField(pitch, "x", pitchWhere, -MaxPitch, MaxPitch);
    aim.verticalAimRestriction.y = floatField(pitch, "y", pitchWhere, -MaxPitch, MaxPitch);
    if (aim.verticalAimRestriction.x > aim.verticalAimRestriction.y) {
        throw BuildingFileError(quotedText(pitchWhere) + ": the lowest pitch x is above the highest y");
    }
    return aim;
}

TowerConfig TowerConfig::fromJson(const json& value)
{
    requireDocument(value);
    TowerConfig config;
    config.name = stringField(value, "name", "");
    config.gridSize = gridSizeField(value);
    config.logoIndex = logoIndexField(value);
    config.aimSettings = AimSettings::fromJson(field(value, "aimSettings", ""));
    config.levels = TowerLevels::fromJson(levelsField(value));
    return config;
}

u32 totalCostOf(const std::vector<BuildingLevel>& levels, i32 level)
{
    // Costs are at most MaxCost each and there are at most MaxLevels of them: the sum
    // fits easily.
    u64 sum = 0;
    for (i32 i = 0; i <= level && i < static_cast<i32>(levels.size()); i++) {
        sum += levels[static_cast<size_t>(i)].cost;
    }
    return static_cast<u32>(sum);
}

json parseBuildingFile(const std::string& path)
{
    std::vector<u8> bytes;
    if (std::string problem = readRegularFile(path, &bytes, FileLimits::BuildingFile); !problem.empty()) {
        throw BuildingFileError("the file " + problem);
    }
    try {
        return json::parse(bytes.begin(), bytes.end());
    } catch (const json::exception& error) {
        // A syntax error, or a number too large for a double ("1e999"): the library's
        // text after its "[json.exception.parse_error.101] " tag. It ends with what it
        // last read of the file ("last read: '...'"), bytes of any kind and length.
        std::string_view what = error.what();
        const size_t tag = what.find("] ");
        if (tag != std::string_view::npos) what = what.substr(tag + 2);
        throw BuildingFileError("not valid JSON: " + messageText(what, LineLimits::MessageBytes));
    } catch (const std::bad_alloc&) {
        throw BuildingFileError("cannot be read (not enough memory to parse its " + std::to_string(bytes.size()) +
                                " bytes)");
    }
}

template <typename Record>
bool readBuildingRecord(const std::string& path, const json& document, Record& record, std::string& error)
{
    try {
        record = Record::fromJson(document);
        return true;
    } catch (const BuildingFileError& fault) {
        error = path + ": " + fault.what();
        return false;
    }
}

template <typename Record> bool readBuildingFile(const std::string& path, Record& record, std::string& error)
{
    json document;
    try {
        document = parseBuildingFile(path);
    } catch (const BuildingFileError& fault) {
        error = path + ": " + fault.what();
        return false;
    }
    return readBuildingRecord(path, document, record, error);
}

json loadBuildingFile(const std::string& path)
{
    try {
        return parseBuildingFile(path);
    } catch (const BuildingFileError& fault) {
        fatalError(path + ": " + fault.what(), "BuildingConfig", __LINE__);
    }
}

template <typename Record> Record loadBuildingRecord(const std::string& path, const json& document)
{
    Record record;
    std::string error;
    if (!readBuildingRecord(path, document, record, error)) {
        fatalError(error, "BuildingConfig", __LINE__);
    }
    return record;
}

template bool readBuildingRecord(const std::string&, const json&, BuildingConfig&, std::string&);
template bool readBuildingRecord(const std::string&, const json&, WallConfig&, std::string&);
template bool readBuildingRecord(const std::string&, const json&, TowerConfig&, std::string&);
template bool readBuildingFile(const std::string&, BuildingConfig&, std::string&);
template bool readBuildingFile(const std::string&, WallConfig&, std::string&);
template bool readBuildingFile(const std::string&, TowerConfig&, std::string&);
template BuildingConfig loadBuildingRecord(const std::string&, const json&);
template WallConfig loadBuildingRecord(const std::string&, const json&);
template TowerConfig loadBuildingRecord(const std::string&, const json&);
