#include "Engine/Helper/FileWrite.h"

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

std::string replaceRegularFile(const std::string& path, const u8* bytes, size_t size, FileSync sync)
{
    // The file is looked at itself, not through a link. A link is refused rather than
    // written through or replaced: the game cannot tell a player's own link from one
    // that sends its writes into another file, and replacing it would quietly cut the
    // player's file loose from where it is kept. Anything else that is not a
    // regular file (a directory, a FIFO, ...) was put there by someone and is left too.
    struct stat existing {};
    const bool exists = ::lstat(path.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) {
        return std::strerror(errno);
    }
    if (exists && S_ISLNK(existing.st_mode)) {
        return "it is a symbolic link, which the game neither writes through nor replaces";
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        return "it " + notRegularFileText(existing.st_mode);
    }
    // The file is replaced by a rename, which only asks the directory's permission: a
    // file the player made read-only (or may not write) is refused here instead.
    if (exists &&
        (::access(path.c_str(), W_OK) != 0 || (existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)) {
        return "the file is read-only";
    }

    std::string temporary;
    FileDescriptor file(createTemporary(path, temporary));
    if (file.fd < 0) {
        return std::strerror(errno);
    }
    auto failRemoving = [&](int reason) {
        ::unlink(temporary.c_str()); // our own name, created above
        return std::string(std::strerror(reason));
    };
    // The new file keeps the old one's permissions (a new one gets the usual 0666 less
    // the umask from its creation).
    if (exists && ::fchmod(file.fd, existing.st_mode & 07777) != 0) {
        return failRemoving(errno);
    }
    if (!writeAll(file.fd, bytes, size) || (sync == FileSync::Durable && ::fsync(file.fd) != 0)) {
        return failRemoving(errno);
    }
    const int fd = file.fd;
    file.fd = -1;
    if (::close(fd) != 0) {
        return failRemoving(errno);
    }
    // The rename replaces the name itself (it never follows a link there), so whatever
    // came to hold the name since the look above, `path` ends a regular file.
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        return failRemoving(errno);
    }
    if (sync == FileSync::Durable) syncDirectoryOf(path);
    return "";
}
