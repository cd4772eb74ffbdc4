#include "Engine/Settings/DisplayModes.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Settings/SettingsCodec.h"
#include "Engine/Settings/SettingsFile.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <unistd.h>

namespace fs = std::filesystem;
namespace L = SettingsLayout;

namespace {

SettingsRecord unusualRecord()
{
    SettingsRecord r;
    r.mouseSpeed = 2.5f;
    r.cheatsEnabled = 1;
    r.shadowQuality = 3;
    r.fullscreenMode = 1;
    r.refreshMode = 1;
    r.monitorIndex = 2;
    r.fullscreen = 1;
    r.maximized = 1;
    r.x = -120;
    r.y = 340;
    r.width = 1280;
    r.height = 720;
    r.refreshRate = 144;
    return r;
}

u32 u32At(const SettingsBytes& b, size_t offset)
{
    return u32(b[offset]) | u32(b[offset + 1]) << 8 | u32(b[offset + 2]) << 16 | u32(b[offset + 3]) << 24;
}

void putI32(SettingsBytes& b, size_t offset, i32 value)
{
    for (size_t i = 0; i < 4; i++) b[offset + i] = u8(u32(value) >> (8 * i));
}

void putF32(SettingsBytes& b, size_t offset, f32 value)
{
    putI32(b, offset, std::bit_cast<i32>(value));
}

// A scratch directory that is also the working directory while the test runs.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        char pattern[] = "/tmp/brackenhold-settings-XXXXXX";
        path = mkdtemp(pattern);
        previous = fs::current_path();
        fs::current_path(path);
    }
    ~ScratchDirectory()
    {
        fs::current_path(previous);
        fs::remove_all(path);
    }
    fs::path path;

private:
    fs::path previous;
};

void writeBytes(const fs::path& path, const u8* data, size_t size)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

std::vector<u8> readBytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void resetSettingsGlobals()
{
    Settings::storeRecord(SettingsRecord{});
    Settings::resolutionIndex = 0;
    Settings::refreshIndex = 0;
    Settings::monitorModes.clear();
}

} // namespace

// --- the 53-byte codec ---

TEST(SettingsCodec, RoundTripsEveryField)
{
    SettingsRecord record = unusualRecord();
    SettingsBytes bytes = encodeSettings(record);
    ASSERT_EQ(bytes.size(), 53u);
    SettingsRecord decoded;
    std::vector<std::string> rejected;
    ASSERT_TRUE(decodeSettings(bytes.data(), bytes.size(), decoded, rejected));
    EXPECT_TRUE(rejected.empty());
    EXPECT_EQ(decoded, record);
}

TEST(SettingsCodec, FieldsSitAtTheirOffsetsLittleEndian)
{
    SettingsBytes b = encodeSettings(unusualRecord());
    EXPECT_EQ(u32At(b, L::MouseSpeed), std::bit_cast<u32>(2.5f));
    EXPECT_EQ(b[L::CheatsEnabled], 1);
    EXPECT_EQ(u32At(b, L::ShadowQuality), 3u);
    EXPECT_EQ(u32At(b, L::FullscreenMode), 1u);
    EXPECT_EQ(u32At(b, L::RefreshMode), 1u);
    EXPECT_EQ(u32At(b, L::MonitorIndex), 2u);
    EXPECT_EQ(b[L::Fullscreen], 1);
    EXPECT_EQ(b[L::Maximized], 1);
    EXPECT_EQ(u32At(b, L::WindowX), u32(-120));
    EXPECT_EQ(u32At(b, L::WindowY), 340u);
    EXPECT_EQ(u32At(b, L::WindowWidth), 1280u);
    EXPECT_EQ(u32At(b, L::WindowHeight), 720u);
    EXPECT_EQ(u32At(b, L::RefreshRate), 144u);
    // Padding and the monitor handle never carry memory contents.
    EXPECT_EQ(b[23], 0);
    EXPECT_EQ(b[24], 0);
    for (size_t i = L::MonitorHandle; i < 53; i++) EXPECT_EQ(b[i], 0) << "byte " << i;
    // The low byte of the speed's bit pattern really is first.
    EXPECT_EQ(b[0], u8(std::bit_cast<u32>(2.5f)));
}

TEST(SettingsCodec, RefusesEveryOtherSizeWithoutTouchingTheRecord)
{
    SettingsBytes good = encodeSettings(unusualRecord());
    u8 longer[60] = {};
    std::memcpy(longer, good.data(), good.size());
    for (size_t size : {0, 3, 21, 45, 52, 54, 60}) {
        SettingsRecord record;
        std::vector<std::string> rejected;
        EXPECT_FALSE(decodeSettings(longer, size, record, rejected)) << size;
        EXPECT_EQ(record, SettingsRecord{}) << size;
    }
    SettingsRecord record;
    std::vector<std::string> rejected;
    EXPECT_FALSE(decodeSettings(nullptr, 53, record, rejected));
}

TEST(SettingsCodec, OutOfRangeFieldsFallBackToTheirDefaultsOneByOne)
{
    struct Case {
        const char* field;
        void (*corrupt)(SettingsBytes&);
    };
    const Case cases[] = {
        {"mouseSpeed", [](SettingsBytes& b) { putF32(b, L::MouseSpeed, std::numeric_limits<f32>::quiet_NaN()); }},
        {"mouseSpeed", [](SettingsBytes& b) { putF32(b, L::MouseSpeed, std::numeric_limits<f32>::infinity()); }},
        {"mouseSpeed", [](SettingsBytes& b) { putF32(b, L::MouseSpeed, 0.0f); }},
        {"mouseSpeed", [](SettingsBytes& b) { putF32(b, L::MouseSpeed, -3.0f); }},
        {"mouseSpeed", [](SettingsBytes& b) { putF32(b, L::MouseSpeed, 250.0f); }},
        {"cheatsEnabled", [](SettingsBytes& b) { b[L::CheatsEnabled] = 7; }},
        {"shadowQuality", [](SettingsBytes& b) { putI32(b, L::ShadowQuality, 4); }},
        {"shadowQuality", [](SettingsBytes& b) { putI32(b, L::ShadowQuality, -1); }},
        {"fullscreenMode", [](SettingsBytes& b) { putI32(b, L::FullscreenMode, 2); }},
        {"refreshMode", [](SettingsBytes& b) { putI32(b, L::RefreshMode, 9); }},
        {"monitorIndex", [](SettingsBytes& b) { putI32(b, L::MonitorIndex, -5); }},
        {"monitorIndex", [](SettingsBytes& b) { putI32(b, L::MonitorIndex, 0x7fffffff); }},
        {"fullscreen", [](SettingsBytes& b) { b[L::Fullscreen] = 0xff; }},
        {"maximized", [](SettingsBytes& b) { b[L::Maximized] = 2; }},
        {"x", [](SettingsBytes& b) { putI32(b, L::WindowX, 1 << 30); }},
        {"y", [](SettingsBytes& b) { putI32(b, L::WindowY, -(1 << 30)); }},
        {"width", [](SettingsBytes& b) { putI32(b, L::WindowWidth, 0); }},
        {"height", [](SettingsBytes& b) { putI32(b, L::WindowHeight, -720); }},
        {"refreshRate", [](SettingsBytes& b) { putI32(b, L::RefreshRate, -2); }},
    };
    const SettingsRecord defaults;
    for (const Case& c : cases) {
        SettingsBytes bytes = encodeSettings(unusualRecord());
        c.corrupt(bytes);
        SettingsRecord decoded;
        std::vector<std::string> rejected;
        ASSERT_TRUE(decodeSettings(bytes.data(), bytes.size(), decoded, rejected)) << c.field;
        EXPECT_EQ(rejected, std::vector<std::string>{c.field});

        // Only the corrupted field changes, and it takes its default.
        SettingsRecord expected = unusualRecord();
        std::string field = c.field;
        if (field == "mouseSpeed") expected.mouseSpeed = defaults.mouseSpeed;
        if (field == "cheatsEnabled") expected.cheatsEnabled = defaults.cheatsEnabled;
        if (field == "shadowQuality") expected.shadowQuality = defaults.shadowQuality;
        if (field == "fullscreenMode") expected.fullscreenMode = defaults.fullscreenMode;
        if (field == "refreshMode") expected.refreshMode = defaults.refreshMode;
        if (field == "monitorIndex") expected.monitorIndex = defaults.monitorIndex;
        if (field == "fullscreen") expected.fullscreen = defaults.fullscreen;
        if (field == "maximized") expected.maximized = defaults.maximized;
        if (field == "x") expected.x = defaults.x;
        if (field == "y") expected.y = defaults.y;
        if (field == "width") expected.width = defaults.width;
        if (field == "height") expected.height = defaults.height;
        if (field == "refreshRate") expected.refreshRate = defaults.refreshRate;
        EXPECT_EQ(decoded, expected) << c.field;
    }
}

TEST(SettingsCodec, AcceptsTheEdgesOfEachRange)
{
    SettingsRecord record = unusualRecord();
    record.mouseSpeed = SettingsLimits::MinMouseSpeed;
    record.shadowQuality = 0;
    record.refreshRate = -1; // no preference
    SettingsBytes bytes = encodeSettings(record);
    SettingsRecord decoded;
    std::vector<std::string> rejected;
    ASSERT_TRUE(decodeSettings(bytes.data(), bytes.size(), decoded, rejected));
    EXPECT_TRUE(rejected.empty());
    EXPECT_EQ(decoded, record);

    record.mouseSpeed = SettingsLimits::MaxMouseSpeed;
    record.shadowQuality = 3;
    bytes = encodeSettings(record);
    ASSERT_TRUE(decodeSettings(bytes.data(), bytes.size(), decoded, rejected));
    EXPECT_TRUE(rejected.empty());
    EXPECT_EQ(decoded, record);
}

// --- the file as a whole ---

TEST(SettingsFile, MissingFileKeepsDefaultsSilently)
{
    ScratchDirectory dir;
    SettingsReadResult result = readSettingsFile("config.gcfg");
    EXPECT_EQ(result.status, SettingsReadStatus::Missing);
    EXPECT_TRUE(result.message.empty());
    EXPECT_EQ(result.record, SettingsRecord{});
}

TEST(SettingsFile, FilesOfAnotherSizeAreRefusedWithOneLineNamingTheFile)
{
    ScratchDirectory dir;
    SettingsBytes good = encodeSettings(unusualRecord());
    u8 data[80] = {};
    std::memcpy(data, good.data(), good.size());
    for (size_t size : {0, 3, 21, 45, 52}) {
        writeBytes("config.gcfg", data, size);
        SettingsReadResult result = readSettingsFile("config.gcfg");
        EXPECT_EQ(result.status, SettingsReadStatus::Refused) << size;
        EXPECT_EQ(result.record, SettingsRecord{}) << size;
        EXPECT_NE(result.message.find("config.gcfg"), std::string::npos) << result.message;
        EXPECT_NE(result.message.find("has " + std::to_string(size) + " bytes"), std::string::npos) << result.message;
        EXPECT_EQ(result.message.find('\n'), std::string::npos);
    }
    writeBytes("config.gcfg", data, 80);
    SettingsReadResult result = readSettingsFile("config.gcfg");
    EXPECT_EQ(result.status, SettingsReadStatus::Refused);
    EXPECT_NE(result.message.find("more than 53"), std::string::npos) << result.message;
}

TEST(SettingsFile, DirectoryInPlaceOfTheFileIsRefused)
{
    ScratchDirectory dir;
    fs::create_directory("config.gcfg");
    SettingsReadResult result = readSettingsFile("config.gcfg");
    EXPECT_EQ(result.status, SettingsReadStatus::Refused);
    EXPECT_NE(result.message.find("config.gcfg"), std::string::npos);
}

TEST(SettingsFile, BadFieldsAreNamedInOneLine)
{
    ScratchDirectory dir;
    SettingsBytes bytes = encodeSettings(unusualRecord());
    putF32(bytes, L::MouseSpeed, std::numeric_limits<f32>::quiet_NaN());
    putI32(bytes, L::ShadowQuality, 17);
    writeBytes("config.gcfg", bytes.data(), bytes.size());
    SettingsReadResult result = readSettingsFile("config.gcfg");
    EXPECT_EQ(result.status, SettingsReadStatus::Loaded);
    EXPECT_EQ(result.record.mouseSpeed, SettingsDefaults::MouseSpeed);
    EXPECT_EQ(result.record.shadowQuality, SettingsDefaults::ShadowQuality);
    EXPECT_EQ(result.record.width, 1280);
    EXPECT_NE(result.message.find("config.gcfg"), std::string::npos);
    EXPECT_NE(result.message.find("mouseSpeed, shadowQuality"), std::string::npos) << result.message;
}

TEST(SettingsFile, WriteReplacesTheFileAndLeavesNoTemporary)
{
    ScratchDirectory dir;
    std::vector<u8> old(53, 0xAB);
    writeBytes("config.gcfg", old.data(), old.size());
    std::string error;
    ASSERT_TRUE(writeSettingsFile("config.gcfg", unusualRecord(), &error)) << error;
    SettingsBytes expected = encodeSettings(unusualRecord());
    EXPECT_EQ(readBytes("config.gcfg"), std::vector<u8>(expected.begin(), expected.end()));
    EXPECT_FALSE(fs::exists("config.gcfg.tmp"));
    SettingsReadResult result = readSettingsFile("config.gcfg");
    EXPECT_EQ(result.status, SettingsReadStatus::Loaded);
    EXPECT_EQ(result.record, unusualRecord());
}

TEST(SettingsFile, FailedWriteKeepsTheOldFileAndSaysSo)
{
    ScratchDirectory dir;
    SettingsBytes old = encodeSettings(SettingsRecord{});
    writeBytes("config.gcfg", old.data(), old.size());

    // The temporary cannot be created: a directory holds its name.
    fs::create_directory("config.gcfg.tmp");
    std::string error;
    EXPECT_FALSE(writeSettingsFile("config.gcfg", unusualRecord(), &error));
    EXPECT_NE(error.find("config.gcfg"), std::string::npos) << error;
    EXPECT_EQ(readBytes("config.gcfg"), std::vector<u8>(old.begin(), old.end()));
    EXPECT_TRUE(fs::is_directory("config.gcfg.tmp")); // not ours to remove
    fs::remove("config.gcfg.tmp");

    // The temporary is written but cannot replace the target (a non-empty directory).
    fs::create_directories("target.gcfg/inside");
    error.clear();
    EXPECT_FALSE(writeSettingsFile("target.gcfg", unusualRecord(), &error));
    EXPECT_NE(error.find("target.gcfg"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory("target.gcfg/inside"));
    EXPECT_FALSE(fs::exists("target.gcfg.tmp"));

    // A directory that does not exist.
    EXPECT_FALSE(writeSettingsFile("missing/config.gcfg", unusualRecord(), &error));
}

TEST(SettingsFile, ReadOnlyFileIsNotReplacedAndKeepsItsMode)
{
    ScratchDirectory dir;
    SettingsBytes old = encodeSettings(SettingsRecord{});
    writeBytes("config.gcfg", old.data(), old.size());
    fs::permissions("config.gcfg", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    // Refused even for a user (root) whom the system would let write it: the mode says
    // that nobody should.
    std::string error;
    EXPECT_FALSE(writeSettingsFile("config.gcfg", unusualRecord(), &error));
    EXPECT_EQ(error, "Unable to save settings to config.gcfg: the file is read-only");
    EXPECT_EQ(readBytes("config.gcfg"), std::vector<u8>(old.begin(), old.end()));
    EXPECT_EQ(fs::status("config.gcfg").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(fs::exists("config.gcfg.tmp"));

    // A writable file is replaced and keeps its own mode rather than the default one.
    fs::permissions("config.gcfg", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(writeSettingsFile("config.gcfg", unusualRecord(), &error)) << error;
    EXPECT_EQ(readSettingsFile("config.gcfg").record, unusualRecord());
    EXPECT_EQ(fs::status("config.gcfg").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

// --- Settings::load and Settings::save on the globals (no window system: no monitors) ---

TEST(SettingsGlobals, SaveThenLoadRestoresTheSavedFields)
{
    ScratchDirectory dir;
    resetSettingsGlobals();
    Settings::storeRecord(unusualRecord());
    ASSERT_TRUE(Settings::save());
    SettingsBytes expected = encodeSettings(unusualRecord());
    EXPECT_EQ(readBytes("config.gcfg"), std::vector<u8>(expected.begin(), expected.end()));

    resetSettingsGlobals();
    Settings::load();
    EXPECT_EQ(Settings::mouseSpeed, 2.5f);
    EXPECT_EQ(Settings::cheatsEnabled, 1);
    EXPECT_EQ(Settings::shadowQuality, 3u);
    EXPECT_EQ(Settings::fullscreenMode, 1);
    EXPECT_EQ(Settings::refreshMode, 1);
    EXPECT_EQ(Settings::windowSettings.x, -120);
    EXPECT_EQ(Settings::windowSettings.y, 340);
    EXPECT_EQ(Settings::windowSettings.maximized, 1);
    EXPECT_EQ(Settings::windowSettings.refreshRate, 144);
    EXPECT_EQ(Settings::windowSettings.monitor, nullptr);
    // Every start opens at 1920 x 1080, whatever size was saved.
    EXPECT_EQ(Settings::windowSettings.width, 1920);
    EXPECT_EQ(Settings::windowSettings.height, 1080);
    // No monitors here: the saved index 2 cannot stand, and nothing is matched.
    EXPECT_EQ(Settings::monitorIndex, 0);
    EXPECT_EQ(Settings::resolutionIndex, 0);
    EXPECT_EQ(Settings::refreshIndex, 0);
    resetSettingsGlobals();
}

TEST(SettingsGlobals, ShortFilesLeaveEveryDefault)
{
    ScratchDirectory dir;
    SettingsBytes good = encodeSettings(unusualRecord());
    for (size_t size : {0, 3, 21, 45, 52}) {
        resetSettingsGlobals();
        writeBytes("config.gcfg", good.data(), size);
        testing::internal::CaptureStdout();
        Settings::load();
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(Settings::currentRecord(), SettingsRecord{}) << size;
        EXPECT_NE(out.find("config.gcfg"), std::string::npos) << out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    }
    resetSettingsGlobals();
}

TEST(SettingsGlobals, LoadWithNoFileKeepsTheDefaultWindow)
{
    ScratchDirectory dir;
    resetSettingsGlobals();
    Settings::load();
    EXPECT_EQ(Settings::currentRecord(), SettingsRecord{});
    EXPECT_EQ(Settings::windowSettings.width, 1600);
    EXPECT_EQ(Settings::windowSettings.height, 900);
}

TEST(SettingsGlobals, FailedSaveSaysWhyToTheCaller)
{
    ScratchDirectory dir;
    resetSettingsGlobals();
    SettingsBytes old = encodeSettings(unusualRecord());
    writeBytes("config.gcfg", old.data(), old.size());
    fs::permissions("config.gcfg", fs::perms::owner_read);
    testing::internal::CaptureStdout();
    std::string error;
    EXPECT_FALSE(Settings::save(&error));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, error + "\n");
    EXPECT_NE(error.find("config.gcfg: the file is read-only"), std::string::npos) << error;
    EXPECT_EQ(readBytes("config.gcfg"), std::vector<u8>(old.begin(), old.end()));
}

TEST(SettingsGlobals, FailedSaveKeepsTheOldFile)
{
    ScratchDirectory dir;
    resetSettingsGlobals();
    SettingsBytes old = encodeSettings(unusualRecord());
    writeBytes("config.gcfg", old.data(), old.size());
    fs::create_directory("config.gcfg.tmp");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(Settings::save());
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("config.gcfg"), std::string::npos);
    EXPECT_EQ(readBytes("config.gcfg"), std::vector<u8>(old.begin(), old.end()));
}

// --- monitors and their modes ---

TEST(DisplayModes, GroupsModesBySizeInReportOrder)
{
    std::vector<VideoMode> modes = {
        {1280, 720, 60}, {1280, 720, 75}, {1920, 1080, 60}, {1920, 1080, 144},
        // the same sizes again at another colour depth
        {1280, 720, 60}, {1920, 1080, 120},
    };
    std::vector<MonitorMode> grouped = groupVideoModes(modes);
    ASSERT_EQ(grouped.size(), 2u);
    EXPECT_EQ(grouped[0], (MonitorMode{1280, 720, {60, 75}}));
    EXPECT_EQ(grouped[1], (MonitorMode{1920, 1080, {60, 144, 120}}));

    EXPECT_TRUE(groupVideoModes({}).empty());
    // A virtual display: one mode of unknown rate.
    EXPECT_EQ(groupVideoModes({{1920, 1080, 0}}), (std::vector<MonitorMode>{{1920, 1080, {0}}}));
}

TEST(DisplayModes, MonitorIndexStaysValid)
{
    EXPECT_EQ(clampMonitorIndex(0, 0), 0);
    EXPECT_EQ(clampMonitorIndex(3, 0), 0);
    EXPECT_EQ(clampMonitorIndex(-2, 0), 0);
    EXPECT_EQ(clampMonitorIndex(5, 2), 1);
    EXPECT_EQ(clampMonitorIndex(-1, 2), 0);
    EXPECT_EQ(clampMonitorIndex(1, 2), 1);

    std::vector<std::vector<MonitorMode>> monitors = {{{800, 600, {60}}}};
    EXPECT_EQ(modesOfMonitor(monitors, 0).size(), 1u);
    EXPECT_TRUE(modesOfMonitor(monitors, 1).empty());
    EXPECT_TRUE(modesOfMonitor(monitors, -1).empty());
    EXPECT_TRUE(modesOfMonitor({}, 0).empty());
}

TEST(DisplayModes, FindsTheSavedModeAndRate)
{
    std::vector<MonitorMode> modes = {{1280, 720, {60, 75}}, {1920, 1080, {60, 144}}};
    EXPECT_EQ(findModeIndices(modes, 1920, 1080, 144).resolutionIndex, 2);
    EXPECT_EQ(findModeIndices(modes, 1920, 1080, 144).refreshIndex, 2);
    EXPECT_EQ(findModeIndices(modes, 1920, 1080, 50).resolutionIndex, 2);
    EXPECT_EQ(findModeIndices(modes, 1920, 1080, 50).refreshIndex, 0);
    EXPECT_EQ(findModeIndices(modes, 1024, 768, 60).resolutionIndex, 0);
    EXPECT_EQ(findModeIndices({}, 1920, 1080, 60).resolutionIndex, 0);
}

TEST(DisplayModes, FullscreenTargetClampsIndicesAndNeverPassesZeroHertz)
{
    std::vector<MonitorMode> modes = {{1280, 720, {60, 75}}, {1920, 1080, {60, 144}}};
    FullscreenTarget native = fullscreenTarget(modes, 0, 2, 2560, 1440);
    EXPECT_EQ(native.width, 2560);
    EXPECT_EQ(native.height, 1440);
    EXPECT_EQ(native.refreshRate, -1);

    FullscreenTarget chosen = fullscreenTarget(modes, 1, 2, 2560, 1440);
    EXPECT_EQ(chosen.width, 1280);
    EXPECT_EQ(chosen.refreshRate, 75);
    EXPECT_EQ(fullscreenTarget(modes, 2, 0, 0, 0).refreshRate, -1);

    // Indices beyond their lists take the last entry.
    FullscreenTarget beyond = fullscreenTarget(modes, 9, 9, 0, 0);
    EXPECT_EQ(beyond.width, 1920);
    EXPECT_EQ(beyond.refreshRate, 144);
    EXPECT_EQ(fullscreenTarget(modes, -4, 1, 800, 600).width, 800);

    // A monitor without modes: the current size.
    EXPECT_EQ(fullscreenTarget({}, 3, 1, 1024, 768).width, 1024);
    // The virtual display's only mode has an unknown rate.
    FullscreenTarget xvfb = fullscreenTarget({{1920, 1080, {0}}}, 1, 1, 0, 0);
    EXPECT_EQ(xvfb.width, 1920);
    EXPECT_EQ(xvfb.refreshRate, -1);

    EXPECT_EQ(clampResolutionIndex(7, modes), 2);
    EXPECT_EQ(clampRefreshIndex(7, modes, 1), 2);
    EXPECT_EQ(clampRefreshIndex(7, modes, 0), 0);
    EXPECT_EQ(clampRefreshIndex(-1, modes, 2), 0);
}

TEST(DisplayModes, ShadowMapSizeFollowsQuality)
{
    EXPECT_EQ(shadowMapSizeOf(0, 1), 2048);
    EXPECT_EQ(shadowMapSizeOf(1, 1), 4096);
    EXPECT_EQ(shadowMapSizeOf(2, 1), 8192);
    EXPECT_EQ(shadowMapSizeOf(3, 1), 12288);
    EXPECT_EQ(shadowMapSizeOf(4, 1234), 1234);
}

TEST(DisplayModes, ShadowMapFallsBackThroughTheSmallerQualities)
{
    EXPECT_EQ(shadowMapCandidates(12288), (std::vector<i32>{12288, 8192, 4096, 2048}));
    EXPECT_EQ(shadowMapCandidates(4096), (std::vector<i32>{4096, 2048}));
    EXPECT_EQ(shadowMapCandidates(2048), (std::vector<i32>{2048}));
    // A side between the qualities (or beyond them) is tried first, then every smaller quality.
    EXPECT_EQ(shadowMapCandidates(10000), (std::vector<i32>{10000, 8192, 4096, 2048}));
    EXPECT_EQ(shadowMapCandidates(128), (std::vector<i32>{128}));
    EXPECT_EQ(shadowMapCandidates(0), (std::vector<i32>{}));

    EXPECT_EQ(shadowQualityOfSize(2048), 0);
    EXPECT_EQ(shadowQualityOfSize(12288), 3);
    EXPECT_EQ(shadowQualityOfSize(1000), -1);
    EXPECT_EQ(shadowFallbackLine(12288, 8192, "too big"),
              "Shadow quality Ultra (12288 x 12288) does not fit this device (too big); using High (8192 x 8192) "
              "instead");
    EXPECT_EQ(shadowFallbackLine(65536, 2048, "r"),
              "Shadow quality 65536 x 65536 does not fit this device (r); using Low (2048 x 2048) instead");
}
