#include "Engine/Helper/Fatal.h"
#include "Game/Buildings/BdWall.h"
#include "Game/Buildings/Building.h"
#include "Game/Buildings/BuildingConfig.h"
#include "Game/Towers/TowerKind.h"
#include "ScratchFiles.h"
#include "World/World.h"
#include "PrintableLine.h"

#include <glm/gtc/matrix_transform.hpp>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

std::string sourceFile(const std::string& relative)
{
    return std::string(BRACKENHOLD_SOURCE_DIR) + "/" + relative;
}

// A building file with `text` in a scratch folder of the test process's own.
std::string writeFile(const std::string& name, const std::string& text)
{
    static const ScratchFolder folder("building-files");
    const std::string path = (folder / name).string();
    std::ofstream(path) << text;
    return path;
}

const char* const GoodTower = R"({
    "name": "Cannon Tower",
    "gridSize": {"x": 2, "y": 5, "z": 2},
    "logoIndex": {"x": 1, "y": 0},
    "aimSettings": {"shootFlat": true, "radius": 30.0, "idleSpeed": 0.01, "aimSpeed": 0.06,
                    "projSpeed": 50.0, "shotCooldown": 40, "verticalAimRestriction": {"x": -0.6, "y": 0.9}},
    "levels": [
        {"cost": 500, "maxHealth": 400, "damage": 35, "shootingInterval": 30},
        {"cost": 700, "maxHealth": 700, "damage": 55, "shootingInterval": 60},
        {"cost": 1200, "maxHealth": 1200, "damage": 90, "shootingInterval": 24}
    ]
})";

// The tower file with one piece of text replaced.
std::string towerWith(const std::string& from, const std::string& to)
{
    std::string text = GoodTower;
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

// A kind with a file's numbers and nothing else.
class PlainKind : public Building {
public:
    explicit PlainKind(const BuildingConfig& read) : Building(BuildingTypeWall) { config = read; }
    void loadConfig() override {}
    std::shared_ptr<BuildingInstance> createInstance(const glm::ivec3&, f32) override { return nullptr; }
};

// A tower kind with a file's numbers and nothing else.
class PlainTower : public TowerKind {
public:
    using TowerKind::TowerKind;
    std::shared_ptr<BuildingInstance> createInstance(const glm::ivec3&, f32) override { return nullptr; }
};

} // namespace

TEST(BuildingFiles, TheGameFilesReadIntoTheirRecords)
{
    std::string error;
    WallConfig wall;
    ASSERT_TRUE(readBuildingFile(sourceFile("assets/Buildings/BdWall/config.json"), wall, error)) << error;
    EXPECT_EQ(wall.name, "Wall");
    EXPECT_EQ(wall.gridSize, glm::ivec3(2, 5, 1));
    EXPECT_EQ(wall.levels.size(), 3u);
    EXPECT_EQ(wall.levels[0].cost, 100u);

    for (const char* path : {"assets/Buildings/BdCastle/config.json", "assets/Buildings/BdPortal/config.json"}) {
        BuildingConfig config;
        EXPECT_TRUE(readBuildingFile(sourceFile(path), config, error)) << error;
        EXPECT_FALSE(config.levels.empty()) << path;
    }
    for (const char* path :
         {"assets/Buildings/Towers/TwCannon/config.json", "assets/Buildings/Towers/TwMortar/config.json"}) {
        TowerConfig tower;
        BuildingConfig base;
        ASSERT_TRUE(readBuildingFile(sourceFile(path), tower, error)) << error;
        ASSERT_TRUE(readBuildingFile(sourceFile(path), base, error)) << error;
        // Both level lists come from the same array.
        ASSERT_EQ(tower.levels.size(), base.levels.size());
        for (size_t i = 0; i < base.levels.size(); i++) {
            EXPECT_EQ(tower.levels[i].cost, base.levels[i].cost);
            EXPECT_EQ(tower.levels[i].maxHealth, base.levels[i].maxHealth);
        }
    }
    TowerConfig mortar;
    readBuildingFile(sourceFile("assets/Buildings/Towers/TwMortar/config.json"), mortar, error);
    EXPECT_FALSE(mortar.aimSettings.shootFlat) << "the mortar lobs";
}

TEST(BuildingFiles, NumbersConvertAsTheFormatSays)
{
    std::string error;
    TowerConfig tower;
    const std::string path =
        writeFile("convert.json", towerWith(R"("cost": 500, "maxHealth": 400)", R"("cost": 99.9, "maxHealth": true)"));
    ASSERT_TRUE(readBuildingFile(path, tower, error)) << error;
    EXPECT_EQ(tower.levels[0].cost, 99u) << "a fraction is cut toward zero";
    EXPECT_EQ(tower.levels[0].maxHealth, 1) << "true is 1";
    EXPECT_EQ(tower.levels[2].damage, 90) << "level 2's damage is in the tower's own list";
    EXPECT_FLOAT_EQ(tower.aimSettings.verticalAimRestriction.x, -0.6f);

    // Keys the kind does not read are ignored, wherever they are.
    const std::string extra = writeFile(
        "extra.json", towerWith(R"("name": "Cannon Tower",)", R"("name": "Cannon Tower", "comment": [1, {}],)"));
    EXPECT_TRUE(readBuildingFile(extra, tower, error)) << error;
    // A wall reads a tower file too: the aim settings are just another key to it.
    WallConfig wall;
    EXPECT_TRUE(readBuildingFile(extra, wall, error)) << error;
}

// Every broken file ends the start-up with one line naming the file and what is wrong.
TEST(BuildingFiles, ABrokenFileGivesOneLineNamingTheFileAndTheFault)
{
    struct Case {
        const char* name;
        std::string text;
        const char* expected;
    };
    const Case cases[] = {
        {"syntax.json", R"({"name": "Wall", )", "not valid JSON: "},
        {"array.json", "[1, 2]", "the file must hold one JSON object, not an array"},
        {"overflow.json", towerWith(R"("maxHealth": 1200,)", R"("maxHealth": 1e999,)"),
         "not valid JSON: number overflow parsing '1e999'"},
        {"flat.json", towerWith(R"("shootFlat": true)", R"("shootFlat": 1)"),
         "\"aimSettings.shootFlat\" must be true or false, not a number"},
        {"noz.json", towerWith(R"("gridSize": {"x": 2, "y": 5, "z": 2})", R"("gridSize": {"x": 2, "y": 5})"),
         "\"gridSize.z\" is missing"},
        {"nolevels.json", towerWith(R"("levels": [)", R"("levels": [], "old": [)"),
         "\"levels\" is empty: a building needs at least one level"},
        {"size0.json", towerWith(R"("x": 2, "y": 5, "z": 2)", R"("x": 0, "y": 5, "z": 2)"),
         "\"gridSize.x\" is 0, outside 1 to 32"},
        {"size2000.json", towerWith(R"("x": 2, "y": 5, "z": 2)", R"("x": 2, "y": 5, "z": 2000)"),
         "\"gridSize.z\" is 2000, outside 1 to 32"},
        {"cost.json", towerWith(R"("cost": 700)", R"("cost": 4294967296)"),
         "\"levels[1].cost\" is 4294967296, outside 0 to 10000000"},
        {"negative.json", towerWith(R"("cost": 700)", R"("cost": -5)"), "\"levels[1].cost\" is -5, outside 0 to"},
        {"health.json", towerWith(R"("maxHealth": 1200,)", R"("maxHealth": 0,)"),
         "\"levels[2].maxHealth\" is 0, outside 1 to 1000000000"},
        {"interval.json", towerWith(R"("shootingInterval": 24)", R"("shootingInterval": 0)"),
         "\"levels[2].shootingInterval\" is 0, outside 1 to 36000"},
        {"type.json", towerWith(R"("damage": 35)", R"("damage": "35")"),
         "\"levels[0].damage\" must be a number, not a string"},
        {"level.json", towerWith(R"({"cost": 500, "maxHealth": 400, "damage": 35, "shootingInterval": 30})", "7"),
         "\"levels[0]\" must be an object, not a number"},
        {"name.json", towerWith(R"("name": "Cannon Tower")", R"("name": null)"), "\"name\" must be a string, not null"},
        {"pitch.json", towerWith(R"({"x": -0.6, "y": 0.9})", R"({"x": 0.9, "y": -0.6})"),
         "\"aimSettings.verticalAimRestriction\": the lowest pitch x is above the highest y"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const std::string path = writeFile(test.name, test.text);
        TowerConfig tower;
        std::string error;
        ASSERT_FALSE(readBuildingFile(path, tower, error));
        EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(test.expected), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << "one line: " << error;
    }

    // Paths that hold no file: each named, in one line, and none waited on.
    const ScratchFolder scratch("building-paths");
    const std::string dir = scratch.path().string() + "/";
    std::filesystem::create_directories(dir + "folder.json");
    ASSERT_EQ(mkfifo((dir + "pipe.json").c_str(), 0600), 0);
    const std::pair<std::string, std::string> paths[] = {
        {dir + "missing.json", "the file cannot be opened (No such file or directory)"},
        {dir + "folder.json", "the file is a directory, not a regular file"},
        {dir + "pipe.json", "the file is a named pipe, not a regular file"},
    };
    for (const auto& [path, expected] : paths) {
        BuildingConfig config;
        std::string error;
        EXPECT_FALSE(readBuildingFile(path, config, error));
        EXPECT_EQ(error, path + ": " + expected);
    }
}

// What a building file holds may reach its line only escaped: names, values and what
// the JSON library quotes of the bytes it last read come out as valid UTF-8 on one line
// of at most a kilobyte, without anything a terminal would act on.
TEST(BuildingFiles, AFilesTextReachesItsLineOnlyEscaped)
{
    const std::string longString(900000, 'a');
    struct Case {
        const char* name;
        std::string text;
        const char* expected; // in the line, after the file's name
    };
    const Case cases[] = {
        {"escape-member.json", R"({"\u001b[2Jname": "Wall", "gridSize": {}})", "\"name\" is missing"},
        {"escape-value.json", towerWith(R"("damage": 35)", R"("damage": "\u001b[2J\u009b\u202e")"),
         "\"levels[0].damage\" must be a number, not a string"},
        {"raw-escape.json", towerWith("\"Cannon Tower\"", "\"Cannon\x1b[2J Tower\""),
         "invalid string: control character U+001B (ESC) must be escaped to \\u001B; "
         "last read: '\"Cannon<U+001B>'"},
        {"raw-csi.json", "{\"name\": \"\xc2\x9b[2J",
         "invalid string: missing closing quote; last read: '\"\\u009b[2J'"},
        {"raw-override.json", "{\"name\": \"\xe2\x80\xae" "abc", "last read: '\"\\u202eabc'"},
        {"raw-delete.json", "{\"name\": \"\x7f", "last read: '\"\\x7f'"},
        {"not-utf8.json", "{\"name\": \"\xff\"}", "ill-formed UTF-8 byte; last read: '\"\\xff'"},
        {"overlong.json", "{\"name\": \"\xc0\xaf\"}", "ill-formed UTF-8 byte; last read: '\"\\xc0'"},
        {"long-string.json", "{\"name\": \"" + longString + "\xff\"}", "last read: '\"aaaa"},
        {"ten-megabytes.json", "{\"name\": \"" + std::string(10 << 20, 'a') + "\"}", "the file is too large"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const std::string path = writeFile("brackenhold-hostile-" + std::to_string(getpid()) + "-" + test.name,
                                           test.text);
        TowerConfig tower;
        std::string error;
        ASSERT_FALSE(readBuildingFile(path, tower, error));
        EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error.substr(0, 200);
        EXPECT_NE(error.find(test.expected), std::string::npos) << error.substr(0, 400);
        EXPECT_EQ(linePrintableProblem(error), "");

        // The line the start ends with.
        testing::internal::CaptureStdout();
        EXPECT_THROW(loadBuildingRecord<TowerConfig>(path, loadBuildingFile(path)), FatalError);
        const std::string printed = testing::internal::GetCapturedStdout();
        ASSERT_FALSE(printed.empty());
        EXPECT_EQ(printed.back(), '\n');
        const std::string line = printed.substr(0, printed.size() - 1);
        EXPECT_EQ(line, "ERROR: " + error + line.substr(line.rfind(" (in BuildingConfig at line #")));
        EXPECT_EQ(linePrintableProblem(line), "");
        std::remove(path.c_str());
    }
}

TEST(BuildingKinds, TotalCostLabelsAndInfoLines)
{
    std::string error;
    BuildingConfig config;
    ASSERT_TRUE(readBuildingFile(writeFile("costs.json", GoodTower), config, error)) << error;
    PlainKind kind(config);
    EXPECT_EQ(kind.totalCost(0), 500u);
    EXPECT_EQ(kind.totalCost(2), 500u + 700u + 1200u) << "all the money put into a building";
    EXPECT_EQ(kind.totalCost(-1), 0u);
    EXPECT_EQ(kind.totalCost(7), 2400u) << "beyond the last level: every level";
    EXPECT_EQ(kind.infoLines(1), std::vector<std::string>{"Health: 700"});

    config.name = "Wall";
    config.levels[0].cost = 100;
    EXPECT_EQ(PlainKind(config).toolLabel(), "Wall (100$)");

    // The towers' line: 59.999996 shots a second over the interval, not 60.
    EXPECT_EQ(shootingSpeedLine(30), "Shooting speed: 2.00/sec");
    EXPECT_EQ(shootingSpeedLine(60), "Shooting speed: 1.00/sec");
    EXPECT_EQ(shootingSpeedLine(7), "Shooting speed: 8.57/sec");
}

// A tower's detail lines for a level: its health, then the damage and the shooting
// speed of the same level in the tower's own level list. The speed is 59.999996 (one
// over a single-precision tick) over the file's interval, so the cannon's second
// level (interval 32) shows 1.87 where 60 / 32 = 1.875 would round to 1.88.
TEST(BuildingKinds, TowerInfoLinesFromTheGameFile)
{
    std::string error;
    TowerConfig tower;
    ASSERT_TRUE(readBuildingFile(sourceFile("assets/Buildings/Towers/TwCannon/config.json"), tower, error)) << error;
    ASSERT_EQ(tower.levels.size(), 3u);
    ASSERT_EQ(tower.levels[1].shootingInterval, 32);
    const PlainTower cannon(BuildingTypeCannon, tower);
    EXPECT_EQ(cannon.infoLines(0),
              (std::vector<std::string>{"Health: 400", "Damage: 35", "Shooting speed: 1.50/sec"}));
    EXPECT_EQ(cannon.infoLines(1),
              (std::vector<std::string>{"Health: 700", "Damage: 55", "Shooting speed: 1.87/sec"}));
    EXPECT_EQ(cannon.infoLines(2),
              (std::vector<std::string>{"Health: 1200", "Damage: 90", "Shooting speed: 2.50/sec"}));

    // Damage and interval come from the tower's list at the asked level, not level 0's
    // nor the file's cooldown.
    tower.aimSettings.shotCooldown = 7;
    tower.levels[2].damage = 321;
    tower.levels[2].shootingInterval = 64;
    const PlainTower edited(BuildingTypeMortar, tower);
    EXPECT_EQ(edited.infoLines(2),
              (std::vector<std::string>{"Health: 1200", "Damage: 321", "Shooting speed: 0.94/sec"}));
}

// The wall's placement ghost is its model on the footprint's ground centre, in world
// space (the world's origin added), not raised as the towers' ghosts are.
TEST(BuildingKinds, TheWallGhostStandsOnTheFootprintsGroundCentre)
{
    std::string error;
    WallConfig file;
    ASSERT_TRUE(readBuildingFile(sourceFile("assets/Buildings/BdWall/config.json"), file, error)) << error;
    file.gridSize = {2, 5, 1};
    BdWall wall(file);
    World running;
    running.origin = glm::vec3(-512.0f, 0.0f, -512.0f);
    World* saved = world;
    world = &running;
    const std::vector<RenderObject> ghost = wall.getPreviewRenderObjects({10, 5, 20});
    world = saved;
    ASSERT_EQ(ghost.size(), 1u);
    EXPECT_EQ(ghost[0].model, wall.model);
    EXPECT_EQ(ghost[0].transform, glm::translate(glm::mat4(1.0f), glm::vec3(-501.0f, 2.0f, -491.5f)));
}
