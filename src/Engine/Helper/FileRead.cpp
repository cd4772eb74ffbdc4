#include "Engine/Helper/FileRead.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <fcntl.h>
#include <sys/stat.h>
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
    static const std::string Outside = "leads out of its folder through a link";
    std::string realFolder, realFile;
    if (std::string problem = resolved(folder.empty() ? "." : folder, realFolder); !problem.empty()) {
        return "is in a folder that " + problem;
    }
    if (std::string problem = resolved(path, realFile); !problem.empty()) return problem;
    if (!liesInside(realFile, realFolder)) return Outside;
    FileDescriptor file;
    u64 size = 0;
    if (std::string problem = openRegular(realFile, file, &size); !problem.empty()) return problem;
    // What was opened, should a link have been put in the path since it was resolved.
    char opened[PATH_MAX + 1];
    const std::string descriptor = "/proc/self/fd/" + std::to_string(file.fd);
    if (const ssize_t length = readlink(descriptor.c_str(), opened, PATH_MAX); length > 0) {
        if (!liesInside(std::string(opened, static_cast<size_t>(length)), realFolder)) return Outside;
    }
    return readWhole(file, size, maxBytes, *bytes);
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
