#include "Engine/Helper/FileRead.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

FileDescriptor::~FileDescriptor()
{
    if (fd >= 0) close(fd);
}

std::string notRegularFileText(u32 mode)
{
    const char* kind = S_ISDIR(mode)                    ? "a directory"
                       : S_ISFIFO(mode)                 ? "a named pipe"
                       : S_ISSOCK(mode)                 ? "a socket"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                       : S_ISLNK(mode)                  ? "a symbolic link"
                                                        : "of an unknown kind";
    return std::string("is ") + kind + ", not a regular file";
}

namespace {

std::string withReason(const char* what, int error)
{
    return std::string(what) + " (" + std::strerror(error) + ")";
}

// Whether the resolved path `path` is `folder` (resolved) or lies below it.
bool liesInside(const std::string& path, const std::string& folder)
{
    return path.starts_with(folder) &&
           (path.size() == folder.size() || folder.ends_with('/') || path[folder.size()] == '/');
}

// `path` with every link in it followed, or why not (a phrase to follow its name).
std::string resolved(const std::string& path, std::string& real)
{
    char* name = realpath(path.c_str(), nullptr);
    if (name == nullptr) return withReason("cannot be opened", errno);
    real = name;
    free(name);
    return "";
}

const char* const OutsideText = "leads out of its folder through a link";

// Opens `relative` below the folder open at `folder` into `file`. The kernel walks the
// path itself and refuses it the moment it would leave the folder ("..", a path from the
// root, a link that leads out) or meets any link at all, so nothing put in the path at
// any time can lead the open elsewhere. Where the kernel cannot be asked that (a kernel
// older than 5.6, a filter that forbids the call), the file's place cannot be confirmed
// and it is refused: opening it unchecked would be the very hole this closes.
std::string openBeneath(int folder, const std::string& relative, u64 flags, FileDescriptor& file)
{
    open_how how{};
    how.flags = flags;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
    long opened;
    do {
        opened = syscall(SYS_openat2, folder, relative.c_str(), &how, sizeof how);
    } while (opened < 0 && errno == EINTR);
    if (opened >= 0) {
        file.fd = static_cast<int>(opened);
        return "";
    }
    switch (errno) {
    case ELOOP:
    case EXDEV: return OutsideText;
    case ENOSYS:
    case EPERM:
    case EINVAL:
    case E2BIG: return withReason("cannot be confirmed to lie inside its folder", errno);
    default: return withReason("cannot be opened", errno);
    }
}

// Opens the regular file at `path` into `file` and gives its size.
std::string openRegular(const std::string& path, FileDescriptor& file, u64* size)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return withReason("cannot be opened", errno);
    if (!S_ISREG(status.st_mode)) return notRegularFileText(status.st_mode);
    do {
        file.fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (file.fd < 0 && errno == EINTR);
    if (file.fd < 0) return withReason("cannot be opened", errno);
    if (fstat(file.fd, &status) != 0) return withReason("cannot be examined", errno);
    if (!S_ISREG(status.st_mode)) return notRegularFileText(status.st_mode);
    *size = static_cast<u64>(status.st_size);
    return "";
}

// Reads until the end of the file or until `bytes` holds `limit` bytes. The size the
// file had when opened is only where reading starts: it may grow or shrink meanwhile.
// A file the memory cannot hold is refused like any other that cannot be read.
std::string readUpTo(const FileDescriptor& file, u64 sizeHint, u64 limit, std::vector<u8>& bytes)
{
    try {
        bytes.resize(static_cast<size_t>(std::min(sizeHint, limit)));
        size_t filled = 0;
        for (;;) {
            if (filled == bytes.size()) {
                if (filled >= limit) break;
                bytes.resize(static_cast<size_t>(std::min<u64>(limit, filled + 65536)));
            }
            ssize_t got = read(file.fd, bytes.data() + filled, bytes.size() - filled);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return withReason("cannot be read", errno);
            if (got == 0) break;
            filled += static_cast<size_t>(got);
        }
        bytes.resize(filled);
        return "";
    } catch (const std::bad_alloc&) {
        return "cannot be read (not enough memory for its " + std::to_string(sizeHint) + " bytes)";
    }
}

// The whole of the opened file, `size` bytes when it was opened, unless that or what it
// holds by now passes `maxBytes`.
std::string readWhole(const FileDescriptor& file, u64 size, u64 maxBytes, std::vector<u8>& bytes)
{
    if (size > maxBytes) return "is too large (" + std::to_string(size) + " bytes)";
    // One byte past the limit tells a file that grew beyond it since it was opened.
    std::vector<u8> data;
    if (std::string problem = readUpTo(file, size, maxBytes + 1, data); !problem.empty()) return problem;
    if (data.size() > maxBytes) return "is too large (more than " + std::to_string(maxBytes) + " bytes)";
    bytes = std::move(data);
    return "";
}

} // namespace

std::string readRegularFile(const std::string& path, std::vector<u8>* bytes, u64 maxBytes)
{
    bytes->clear();
    FileDescriptor file;
    u64 size = 0;
    if (std::string problem = openRegular(path, file, &size); !problem.empty()) return problem;
    return readWhole(file, size, maxBytes, *bytes);
}

std::string readRegularFileInside(const std::string& folder, const std::string& path, std::vector<u8>* bytes,
                                  u64 maxBytes)
{
    bytes->clear();
    // Links in the folder's own path are followed: a folder reached through a link is
    // the folder still. Whatever may be put in its path later, the file is looked up
    // from this descriptor.
    FileDescriptor opened;
    do {
        opened.fd = open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    } while (opened.fd < 0 && errno == EINTR);
    if (opened.fd < 0) return withReason("is in a folder that cannot be opened", errno);
    std::string realFolder, realFile;
    if (std::string problem = resolved(folder.empty() ? "." : folder, realFolder); !problem.empty()) {
        return "is in a folder that " + problem;
    }
    if (std::string problem = resolved(path, realFile); !problem.empty()) return problem;
    if (!liesInside(realFile, realFolder)) return OutsideText;
    // The file's path below the folder, without a link or a ".." in it by now.
    const size_t start = realFolder.size() + (realFolder.ends_with('/') ? 0 : 1);
    const std::string relative = start < realFile.size() ? realFile.substr(start) : ".";
    return readRegularFileBeneath(opened.fd, relative, bytes, maxBytes);
}

std::string readRegularFileBeneath(int folder, const std::string& relative, std::vector<u8>* bytes, u64 maxBytes)
{
    bytes->clear();
    // A look at what is there first, through a descriptor that neither reads nor acts:
    // a FIFO or a device is refused without being opened.
    FileDescriptor place;
    if (std::string problem = openBeneath(folder, relative, O_PATH | O_CLOEXEC, place); !problem.empty()) {
        return problem;
    }
    struct stat status {};
    if (fstat(place.fd, &status) != 0) return withReason("cannot be examined", errno);
    if (!S_ISREG(status.st_mode)) return notRegularFileText(status.st_mode);
    // Opened again to read it, beneath the folder again: what the name leads to may have
    // changed since the look, so what was opened is looked at once more.
    FileDescriptor file;
    if (std::string problem = openBeneath(folder, relative, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, file);
        !problem.empty()) {
        return problem;
    }
    if (fstat(file.fd, &status) != 0) return withReason("cannot be examined", errno);
    if (!S_ISREG(status.st_mode)) return notRegularFileText(status.st_mode);
    return readWhole(file, static_cast<u64>(status.st_size), maxBytes, *bytes);
}

std::string readRegularFileStart(const std::string& path, std::vector<u8>* bytes, u64 count)
{
    bytes->clear();
    FileDescriptor file;
    u64 size = 0;
    if (std::string problem = openRegular(path, file, &size); !problem.empty()) return problem;
    std::vector<u8> data;
    if (std::string problem = readUpTo(file, size, count, data); !problem.empty()) return problem;
    *bytes = std::move(data);
    return "";
}

std::string regularFileProblem(const std::string& path)
{
    FileDescriptor file;
    u64 size = 0;
    return openRegular(path, file, &size);
}
