#include "Engine/Settings/DisplayModes.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Settings/SettingsCodec.h"
#include "Engine/Settings/SettingsFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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
        std::string pattern = (fs::temp_directory_path() / "brackenhold-settings-XXXXXX").string();
        path = mkdtemp(pattern.data());
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

// Names in the working directory.
std::set<std::string> listing()
{
    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(".")) names.insert(entry.path().filename());
    return names;
}

// While it lives, files of this process cannot grow beyond `bytes` (the write that
// would goes short, then fails with EFBIG instead of raising SIGXFSZ): a failing write
// that even root cannot get past.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limited = previous;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }

private:
    rlimit previous{};
    void (*previousHandler)(int) = SIG_DFL;
};

// Runs `work` on a thread of its own and waits a few seconds at most, so that work that
// blocks (opening a FIFO waits for the other end) fails the test instead of hanging the
// suite. Blocked work is then released by opening each of `fifos` at both ends (with
// SIGPIPE ignored, so that a released writer fails instead of ending the process).
template <typename Result>
std::optional<Result> runWithoutBlocking(std::function<Result()> work, std::vector<std::string> fifos)
{
    std::packaged_task<Result()> task(std::move(work));
    std::future<Result> result = task.get_future();
    std::thread worker(std::move(task));
    if (result.wait_for(std::chrono::seconds(5)) == std::future_status::ready) {
        worker.join();
        return result.get();
    }
    std::signal(SIGPIPE, SIG_IGN);
    for (int attempt = 0; attempt < 100 && result.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready;
         attempt++) {
        for (const std::string& fifo : fifos) {
            int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        }
    }
    if (result.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        worker.join();
    } else {
        worker.detach();
    }
    return std::nullopt;
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

    // The temporary cannot be written in full: files may not grow beyond 20 bytes.
    std::string error;
    bool saved = true;
    {
        FileSizeLimit limit(20);
        saved = writeSettingsFile("config.gcfg", unusualRecord(), &error);
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(error, "Unable to save settings to config.gcfg: " + std::string(std::strerror(EFBIG)));
    EXPECT_EQ(readBytes("config.gcfg"), std::vector<u8>(old.begin(), old.end()));
    EXPECT_EQ(listing(), std::set<std::string>{"config.gcfg"}); // no temporary left

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

// A settings file that is not a regular file, or cannot be read, gives the defaults and
// one line naming it, and never blocks the game (files of the wrong size: above). Each
// read runs on a thread of its own with a time limit (hence the suite's name).
TEST(SettingsFileThreaded, HostileFilesGiveDefaultsAndOneLineWithoutBlocking)
{
    struct Case {
        const char* what;
        void (*make)(); // puts something at "config.gcfg"
        const char* says;
    };
    const Case cases[] = {
        {"a FIFO", [] { mkfifo("config.gcfg", 0644); }, "is a named pipe, not a regular file"},
        {"a link to a FIFO",
         [] {
             mkfifo("fifo", 0644);
             fs::create_symlink("fifo", "config.gcfg");
         },
         "is a named pipe, not a regular file"},
        {"a directory", [] { fs::create_directory("config.gcfg"); }, "is a directory, not a regular file"},
        {"a socket",
         [] {
             int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             std::strcpy(address.sun_path, "config.gcfg");
             ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
             ::close(fd);
         },
         "is a socket, not a regular file"},
        {"a link to a device", [] { fs::create_symlink("/dev/zero", "config.gcfg"); },
         "is a device, not a regular file"},
        {"a link to nothing", [] { fs::create_symlink("elsewhere.gcfg", "config.gcfg"); },
         "is a symbolic link to a missing file"},
        {"a link to itself", [] { fs::create_symlink("config.gcfg", "config.gcfg"); },
         "cannot be checked (Too many levels of symbolic links)"},
        // (Unreadable for root too: the process's memory at address 0 is not mapped.)
        {"a file that fails to read", [] { fs::create_symlink("/proc/self/mem", "config.gcfg"); },
         "cannot be read (Input/output error)"},
    };
    for (const Case& c : cases) {
        ScratchDirectory dir;
        c.make();
        std::optional<SettingsReadResult> result =
            runWithoutBlocking<SettingsReadResult>([] { return readSettingsFile("config.gcfg"); }, {"config.gcfg"});
        if (!result.has_value()) {
            ADD_FAILURE() << c.what << ": the read blocked";
            continue;
        }
        EXPECT_EQ(result->status, SettingsReadStatus::Refused) << c.what;
        EXPECT_EQ(result->record, SettingsRecord{}) << c.what;
        EXPECT_EQ(result->message,
                  "Settings file config.gcfg " + std::string(c.says) + "; using the default settings")
            << c.what;
    }
}

// A file the player may not read: refused as the others are. Root reads any file, so
// there the test is skipped, and says so.
TEST(SettingsFile, AFileWithoutReadPermissionGivesDefaultsAndOneLine)
{
    if (geteuid() == 0) GTEST_SKIP() << "run as root, who reads a file without read permission all the same";
    ScratchDirectory dir;
    SettingsBytes good = encodeSettings(unusualRecord());
    writeBytes("config.gcfg", good.data(), good.size());
    fs::permissions("config.gcfg", fs::perms::none);
    const SettingsReadResult result = readSettingsFile("config.gcfg");
    EXPECT_EQ(result.status, SettingsReadStatus::Refused);
    EXPECT_EQ(result.record, SettingsRecord{});
    EXPECT_EQ(result.message,
              "Settings file config.gcfg cannot be opened (Permission denied); using the default settings");
}

// A player may keep the settings elsewhere and link them in: they are read through the
// link (saving then refuses to replace the link, below).
TEST(SettingsFile, LinkToARegularFileIsRead)
{
    ScratchDirectory dir;
    fs::create_directory("dotfiles");
    SettingsBytes good = encodeSettings(unusualRecord());
    writeBytes("dotfiles/brackenhold.gcfg", good.data(), good.size());
    fs::create_symlink("dotfiles/brackenhold.gcfg", "config.gcfg");
    SettingsReadResult result = readSettingsFile("config.gcfg");
    EXPECT_EQ(result.status, SettingsReadStatus::Loaded);
    EXPECT_EQ(result.record, unusualRecord());
    EXPECT_TRUE(result.message.empty()) << result.message;
}

// Saving never writes through a link, never leaves config.gcfg anything but a regular
// file, and leaves nothing behind in the directory but config.gcfg itself. "victim" is
// a file of the player's that no save may touch. Each save runs on a thread of its own
// with a time limit, as the reads above.
TEST(SettingsFileThreaded, SavingNeverWritesThroughALinkNorLeavesAnythingBehind)
{
    struct Case {
        const char* what;
        void (*make)(); // prepares the directory beside "victim"
        const char* refusal; // the reason the save is refused, or nullptr when it is saved
    };
    const Case cases[] = {
        {"no config.gcfg yet", [] {}, nullptr},
        {"a leftover temporary linking to another file", [] { fs::create_symlink("victim", "config.gcfg.tmp"); },
         nullptr},
        {"a leftover temporary linking to nothing", [] { fs::create_symlink("new-file", "config.gcfg.tmp"); },
         nullptr},
        {"a leftover temporary file",
         [] {
             std::vector<u8> junk(7, 0x11);
             writeBytes("config.gcfg.tmp", junk.data(), junk.size());
         },
         nullptr},
        {"a directory named like the temporary", [] { fs::create_directory("config.gcfg.tmp"); }, nullptr},
        {"a FIFO named like the temporary", [] { mkfifo("config.gcfg.tmp", 0644); }, nullptr},
        {"config.gcfg linking to another file", [] { fs::create_symlink("victim", "config.gcfg"); },
         "it is a symbolic link, which the game neither writes through nor replaces"},
        {"config.gcfg linking to nothing", [] { fs::create_symlink("new-file", "config.gcfg"); },
         "it is a symbolic link, which the game neither writes through nor replaces"},
        {"config.gcfg a FIFO", [] { mkfifo("config.gcfg", 0644); }, "it is a named pipe, not a regular file"},
        {"config.gcfg a directory", [] { fs::create_directory("config.gcfg"); },
         "it is a directory, not a regular file"},
    };
    // What the directory holds: each name with its type, and the target of each link.
    auto snapshot = [] {
        std::map<std::string, std::string> entries;
        for (const fs::directory_entry& entry : fs::directory_iterator(".")) {
            fs::file_type type = entry.symlink_status().type();
            entries[entry.path().filename()] = type == fs::file_type::symlink
                                                   ? "link to " + fs::read_symlink(entry.path()).string()
                                                   : std::to_string(static_cast<int>(type));
        }
        return entries;
    };
    const std::string regular = std::to_string(static_cast<int>(fs::file_type::regular));
    const std::vector<u8> victim(53, 0x5A);
    const SettingsBytes saved = encodeSettings(unusualRecord());
    for (const Case& c : cases) {
        ScratchDirectory dir;
        writeBytes("victim", victim.data(), victim.size());
        c.make();
        std::map<std::string, std::string> expected = snapshot();

        using Outcome = std::pair<bool, std::string>;
        std::optional<Outcome> done = runWithoutBlocking<Outcome>(
            [] {
                std::string error;
                bool written = writeSettingsFile("config.gcfg", unusualRecord(), &error);
                return Outcome{written, error};
            },
            {"config.gcfg", "config.gcfg.tmp"});
        if (!done.has_value()) {
            ADD_FAILURE() << c.what << ": the save blocked";
            continue;
        }
        auto [written, error] = *done;
        EXPECT_EQ(readBytes("victim"), victim) << c.what;
        if (c.refusal == nullptr) {
            EXPECT_TRUE(written) << c.what << ": " << error;
            EXPECT_EQ(readBytes("config.gcfg"), std::vector<u8>(saved.begin(), saved.end())) << c.what;
            expected["config.gcfg"] = regular;
        } else {
            EXPECT_FALSE(written) << c.what;
            EXPECT_EQ(error, "Unable to save settings to config.gcfg: " + std::string(c.refusal)) << c.what;
        }
        // Nothing else changed: leftovers stay as they were, no temporary remains, and
        // nothing was created through a link.
        EXPECT_EQ(snapshot(), expected) << c.what;
    }
}

// Two games saving into one directory at once: every save succeeds, the file read
// meanwhile is always one of the two records whole, and no temporary is left.
TEST(SettingsFileThreaded, SavesAtOnceLeaveAValidFile)
{
    ScratchDirectory dir;
    SettingsRecord first = unusualRecord();
    SettingsRecord second = SettingsRecord{};
    second.mouseSpeed = 7.0f;
    ASSERT_TRUE(writeSettingsFile("config.gcfg", first, nullptr));

    constexpr int Saves = 40;
    auto saveRepeatedly = [](SettingsRecord record) {
        int failures = 0;
        for (int i = 0; i < Saves; i++) failures += writeSettingsFile("config.gcfg", record, nullptr) ? 0 : 1;
        return failures;
    };
    std::future<int> a = std::async(std::launch::async, saveRepeatedly, first);
    std::future<int> b = std::async(std::launch::async, saveRepeatedly, second);
    int badReads = 0;
    while (a.wait_for(std::chrono::seconds(0)) != std::future_status::ready ||
           b.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        SettingsReadResult read = readSettingsFile("config.gcfg");
        bool whole = read.status == SettingsReadStatus::Loaded && (read.record == first || read.record == second);
        badReads += whole ? 0 : 1;
    }
    EXPECT_EQ(a.get(), 0);
    EXPECT_EQ(b.get(), 0);
    EXPECT_EQ(badReads, 0);
    EXPECT_EQ(listing(), std::set<std::string>{"config.gcfg"});
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
    // (Standard output is not captured here: the capture is a file, which may not grow
    // either. FailedSaveSaysWhyToTheCaller shows that the line printed is the error.)
    std::string error;
    bool saved = true;
    {
        FileSizeLimit limit(0);
        saved = Settings::save(&error);
    }
    EXPECT_FALSE(saved);
    EXPECT_NE(error.find("config.gcfg"), std::string::npos) << error;
    EXPECT_EQ(readBytes("config.gcfg"), std::vector<u8>(old.begin(), old.end()));
    EXPECT_EQ(listing(), std::set<std::string>{"config.gcfg"});
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
