#pragma once

// Where tests write files: in the temporary folder (TMPDIR, else the system's; scripts/test
// gives each of its runs a folder of its own), under names that carry the process id.
// ctest runs tests side by side, each in a process of its own, and other runs may share
// the folder: a fixed name there would be written by two tests at once.

#include <filesystem>
#include <string>
#include <system_error>

#include <sys/un.h>
#include <unistd.h>

// <temporary folder>/brackenhold-<process id>-<what>
inline std::filesystem::path scratchPath(const std::string& what)
{
    return std::filesystem::temp_directory_path() / ("brackenhold-" + std::to_string(getpid()) + "-" + what);
}

// An empty folder at scratchPath(what) for as long as it lives (whatever an earlier
// process of the same id left there is cleared first).
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& what) : folder(scratchPath(what))
    {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return folder; }
    std::filesystem::path operator/(const std::string& name) const { return folder / name; }

private:
    std::filesystem::path folder;
};

// A path for a Unix socket. Its address holds 108 bytes with the closing zero: the
// socket goes in the temporary folder when its path fits, else in /tmp, under a name
// of the process's own either way.
inline std::string scratchSocketPath(const std::string& what)
{
    const std::string path = scratchPath(what).string();
    if (path.size() < sizeof(sockaddr_un::sun_path)) return path;
    return "/tmp/brackenhold-" + std::to_string(getpid()) + "-" + what;
}
