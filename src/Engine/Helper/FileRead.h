#pragma once

#include "Engine/Types.h"

#include <string>
#include <vector>

// The game's files are read through here. Only a regular file is opened: anything else
// put where a file should be (a FIFO would block the open until a writer came, a
// device may act on being opened, a directory cannot be read) is refused by a look at
// the path first, and looked at again through the open descriptor in case the name was
// given to something else in between. Opening never blocks; links are followed.
//
// Each returns empty on success, else why not as a phrase to follow the file's name
// ("cannot be opened (No such file or directory)", "is a directory, not a regular
// file", ...); on failure `bytes` is left empty.

// The whole file; a file larger than `maxBytes` (its kind's limit, FileLimits.h) is
// refused unread, and one that the memory cannot hold is refused too.
std::string readRegularFile(const std::string& path, std::vector<u8>* bytes, u64 maxBytes);

// The whole file, as readRegularFile, only if it lies inside `folder`, links followed:
// the folder's path and the file's are resolved (every link in them followed), and the
// file read is the one that was opened, looked at again through its descriptor. A file
// reached through a link that leads elsewhere is refused unopened ("leads out of its
// folder through a link"), saying nothing of what lies there. A folder reached through a
// link is still the folder.
std::string readRegularFileInside(const std::string& folder, const std::string& path, std::vector<u8>* bytes,
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
