#pragma once

#include "Engine/Types.h"

#include <string>
#include <vector>

// The game's files are read through here. Only a regular file is opened: anything else
// put where a file should be (a FIFO would block the open until a writer came, a
// device may act on being opened, a directory cannot be read) is refused by a look at
// the path first, and looked at again through the open descriptor in case the name was
// given to something else in between. Opening never blocks; links are followed, save
// where a file must lie inside a folder (readRegularFileInside).
//
// Each returns empty on success, else why not as a phrase to follow the file's name
// ("cannot be opened (No such file or directory)", "is a directory, not a regular
// file", ...); on failure `bytes` is left empty.

// The whole file; a file larger than `maxBytes` (its kind's limit, FileLimits.h) is
// refused unread, and one that the memory cannot hold is refused too.
std::string readRegularFile(const std::string& path, std::vector<u8>* bytes, u64 maxBytes);

// The whole file, as readRegularFile, only if it lies inside `folder`. The folder is
// opened first, links in its own path followed (a folder reached through a link is the
// folder still). The file's path is then resolved, every link in it followed, and a
// file that ends up outside the folder is refused unopened ("leads out of its folder
// through a link"), saying nothing of what lies there; a hard link is a file of its
// folder like any other. The file is opened as readRegularFileBeneath opens it, by its
// resolved path below the open folder: a link put in that path since it was resolved
// cannot lead the open out, it makes it fail.
std::string readRegularFileInside(const std::string& folder, const std::string& path, std::vector<u8>* bytes,
                                  u64 maxBytes);

// The whole file at `relative` below the folder open at descriptor `folder` (opened with
// O_PATH will do), as readRegularFile, the kernel walking the path: one that would leave
// the folder (by "..", from the root) or that holds a link anywhere is refused ("leads out
// of its folder through a link"). Where the kernel cannot be asked to walk it so (too old
// a kernel, a filter on the call) the file is refused too: it "cannot be confirmed to lie
// inside its folder (...)". Not a regular file is refused before it is opened to read.
std::string readRegularFileBeneath(int folder, const std::string& relative, std::vector<u8>* bytes,
                                   u64 maxBytes);

// At most the first `count` bytes of the file (fewer when it is shorter).
std::string readRegularFileStart(const std::string& path, std::vector<u8>* bytes, u64 count);

// For a file that a library opens itself: the same checks, without reading it.
std::string regularFileProblem(const std::string& path);

// "is a directory, not a regular file" and the like, for a file mode (st_mode) that is
// not a regular file's.
std::string notRegularFileText(u32 mode);

// Closes the descriptor it holds when it goes.
struct FileDescriptor {
    int fd = -1;
    explicit FileDescriptor(int descriptor = -1) : fd(descriptor) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();
};
