#include "Engine/Settings/SettingsFile.h"

#include "Engine/Helper/FileRead.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string refusal(const std::string& path, const std::string& reason)
{
    return "Settings file " + path + " " + reason + "; using the default settings";
}

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

std::string withReason(const std::string& what, int error)
{
    return what + " (" + std::strerror(error) + ")";
}

// Creates a new file beside `path` under a name no one else uses, exclusively (O_EXCL
// never follows a link, and O_NOFOLLOW says so again): whatever lies about from an
// earlier save, a link included, is neither written through nor taken over, and two
// games (or threads) saving at once each write a file of their own. The process id, a
// counter and the clock make the name; a name that exists all the same is passed over.
// Returns the descriptor, or -1 with errno set.
int createTemporary(const std::string& path, std::string& name)
{
    static std::atomic<u32> saves{0};
    for (int attempt = 0; attempt < 32; attempt++) {
        const auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
        char suffix[64];
        std::snprintf(suffix, sizeof(suffix), ".tmp.%ld.%u.%llx", static_cast<long>(::getpid()), saves++,
                      ticks & 0xffffffffull);
        name = path + suffix;
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1; // errno is EEXIST
}

// Writes all of `size` bytes, going on after short writes and interruptions.
bool writeAll(int fd, const u8* bytes, size_t size)
{
    while (size > 0) {
        ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO;
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Makes a rename in the directory of `path` durable; a failure only loses durability,
// not the file, and is not reported.
void syncDirectoryOf(const std::string& path)
{
    std::string directory = std::filesystem::path(path).parent_path().string();
    FileDescriptor fd(::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.fd >= 0) ::fsync(fd.fd);
}

} // namespace

SettingsReadResult readSettingsFile(const std::string& path)
{
    SettingsReadResult result;
    auto refuse = [&](const std::string& reason) {
        result.status = SettingsReadStatus::Refused;
        result.message = refusal(path, reason);
        return result;
    };

    // A link is followed: a player may keep the settings elsewhere on purpose, and
    // reading a regular file through it touches nothing. A link to nothing is said.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int error = errno;
        struct stat link {};
        if (error == ENOENT && ::lstat(path.c_str(), &link) == 0) {
            return refuse("is a symbolic link to a missing file");
        }
        if (error == ENOENT || error == ENOTDIR) {
            return result; // no file: the defaults, silently
        }
        return refuse(withReason("cannot be checked", error));
    }
    // Only a regular file is opened, without blocking (a FIFO would wait for a writer).
    // One byte more than a settings record tells a long file from a valid one.
    std::vector<u8> bytes;
    if (std::string problem = readRegularFileStart(path, &bytes, SettingsLayout::FileSize + 1); !problem.empty()) {
        return refuse(problem);
    }
    const size_t size = bytes.size();
    std::vector<std::string> rejected;
    if (!decodeSettings(bytes.data(), size, result.record, rejected)) {
        std::string found = size > SettingsLayout::FileSize ? "more than 53" : std::to_string(size);
        return refuse("has " + found + " bytes instead of 53");
    }
    result.status = SettingsReadStatus::Loaded;
    if (!rejected.empty()) {
        result.message = "Settings file " + path + ": out-of-range " + joined(rejected) + " replaced by defaults";
    }
    return result;
}

bool writeSettingsFile(const std::string& path, const SettingsRecord& record, std::string* error)
{
    auto fail = [&](const std::string& reason) {
        if (error) {
            *error = "Unable to save settings to " + path + ": " + reason;
        }
        return false;
    };

    // The file is looked at itself, not through a link. A link is refused rather than
    // written through or replaced: the game cannot tell a player's own link from one
    // that sends its writes into another file, and replacing it would quietly cut the
    // player's settings loose from where they are kept. Anything else that is not a
    // regular file (a directory, a FIFO, ...) was put there by someone and is left too.
    struct stat existing {};
    const bool exists = ::lstat(path.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) {
        return fail(std::strerror(errno));
    }
    if (exists && S_ISLNK(existing.st_mode)) {
        return fail("it is a symbolic link, which the game neither writes through nor replaces");
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        return fail("it " + notRegularFileText(existing.st_mode));
    }
    // The file is replaced by a rename, which only asks the directory's permission: a
    // file the player made read-only (or may not write) is refused here instead.
    if (exists &&
        (::access(path.c_str(), W_OK) != 0 || (existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)) {
        return fail("the file is read-only");
    }

    std::string temporary;
    FileDescriptor file(createTemporary(path, temporary));
    if (file.fd < 0) {
        return fail(std::strerror(errno));
    }
    auto failRemoving = [&](int reason) {
        ::unlink(temporary.c_str()); // our own name, created above
        return fail(std::strerror(reason));
    };
    // The new file keeps the old one's permissions (a new one gets the usual 0666 less
    // the umask from its creation).
    if (exists && ::fchmod(file.fd, existing.st_mode & 07777) != 0) {
        return failRemoving(errno);
    }
    SettingsBytes bytes = encodeSettings(record);
    if (!writeAll(file.fd, bytes.data(), bytes.size()) || ::fsync(file.fd) != 0) {
        return failRemoving(errno);
    }
    const int fd = file.fd;
    file.fd = -1;
    if (::close(fd) != 0) {
        return failRemoving(errno);
    }
    // The rename replaces the name itself (it never follows a link there), so whatever
    // came to hold the name since the look above, config.gcfg ends a regular file.
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        return failRemoving(errno);
    }
    syncDirectoryOf(path);
    return true;
}
