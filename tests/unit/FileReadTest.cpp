#include "Engine/Helper/FileLimits.h"
#include "Engine/Helper/FileRead.h"
#include "Engine/Image/Dds.h"
#include "Engine/Mesh/ModelImport.h"
#include "Engine/Pipeline/ShaderFile.h"
#include "Engine/Ui/UiLayoutFile.h"
#include "Game/Buildings/BuildingConfig.h"
#include "ScratchFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include <fcntl.h>
#include <imgui.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

// Every kind of path a player may leave where a game file should be: a file is read
// whole (through links); anything else is refused with a reason, and none is waited on.
TEST(FileRead, KindsOfPaths)
{
    const ScratchFolder scratch("file-read");
    const std::string dir = scratch.path().string() + "/";
    fs::create_directories(dir + "folder");
    std::ofstream(dir + "file.bin", std::ios::binary) << "abc";
    std::ofstream(dir + "empty.bin", std::ios::binary);
    ASSERT_EQ(mkfifo((dir + "pipe").c_str(), 0600), 0);
    fs::create_symlink(dir + "file.bin", dir + "link-to-file");
    fs::create_symlink(dir + "pipe", dir + "link-to-pipe");
    fs::create_symlink(dir + "gone", dir + "dangling");
    // A socket's path must fit its address, which the scratch folder's may not.
    const std::string socketPath = scratchSocketPath("file-read.sock");
    unlink(socketPath.c_str());
    int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof(address.sun_path) - 1);
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);

    struct Case {
        std::string path;
        std::string problem; // "" when read
        std::string bytes;
    };
    const Case cases[] = {
        {dir + "file.bin", "", "abc"},
        {dir + "empty.bin", "", ""},
        {dir + "link-to-file", "", "abc"},
        {dir + "missing", "cannot be opened (No such file or directory)", ""},
        {dir + "dangling", "cannot be opened (No such file or directory)", ""},
        {dir + "folder", "is a directory, not a regular file", ""},
        {dir + "pipe", "is a named pipe, not a regular file", ""},
        {dir + "link-to-pipe", "is a named pipe, not a regular file", ""},
        {"/dev/null", "is a device, not a regular file", ""},
        {socketPath, "is a socket, not a regular file", ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.path);
        std::vector<u8> bytes{1, 2};
        EXPECT_EQ(readRegularFile(test.path, &bytes, 1000), test.problem);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), test.bytes);
        EXPECT_EQ(regularFileProblem(test.path), test.problem);
    }
    close(sock);
    unlink(socketPath.c_str());
}

TEST(FileRead, SizeLimit)
{
    const ScratchFolder scratch("file-read-limit");
    const std::string path = (scratch / "limit.bin").string();
    std::ofstream(path, std::ios::binary) << std::string(100000, 'x');
    std::vector<u8> bytes;
    EXPECT_EQ(readRegularFile(path, &bytes, 100000), "");
    EXPECT_EQ(bytes.size(), 100000u);
    EXPECT_EQ(readRegularFile(path, &bytes, 99999), "is too large (100000 bytes)");
    EXPECT_TRUE(bytes.empty());
    // The start of a file, for a reader that needs only so much of it.
    EXPECT_EQ(readRegularFileStart(path, &bytes, 54), "");
    EXPECT_EQ(bytes.size(), 54u);
    EXPECT_EQ(readRegularFileStart(path, &bytes, 200000), "");
    EXPECT_EQ(bytes.size(), 100000u);
}

// Each kind of game file has a limit of its own, far above the game's own files: a
// file one byte past it is refused by its reader at once, unread, in a line (or
// reason) that names it, whatever the memory could hold.
TEST(FileRead, EachKindOfFileIsRefusedPastItsLimit)
{
    const ScratchFolder scratch("file-limits");
    const std::string dir = scratch.path().string() + "/";
    struct Case {
        const char* name;
        u64 limit;
        // Reads the file and gives what it said of it.
        std::function<std::string(const std::string& path)> read;
    };
    const Case cases[] = {
        {"config.json", FileLimits::BuildingFile,
         [](const std::string& path) {
             BuildingConfig config;
             std::string error;
             EXPECT_FALSE(readBuildingFile(path, config, error));
             return error;
         }},
        {"shader.spv", FileLimits::ShaderFile,
         [](const std::string& path) {
             std::vector<u32> words;
             std::string unreadable;
             EXPECT_EQ(readSpirvFile(path, &words, &unreadable), SpirvProblem::Missing);
             return path + " " + unreadable;
         }},
        {"texture.dds", FileLimits::TextureFile,
         [](const std::string& path) {
             std::string error;
             EXPECT_TRUE(readDds(path, &error).empty());
             return error;
         }},
        {"model.glb", FileLimits::ModelFile,
         [](const std::string& path) { return importModel(path.c_str(), vertexLayoutPosNormalColor, {}).error; }},
        {"imgui.ini", FileLimits::LayoutFile,
         [](const std::string& path) {
             ImGuiContext* previous = ImGui::GetCurrentContext();
             ImGuiContext* context = ImGui::CreateContext();
             std::string line = UiLayoutFile::load(path);
             ImGui::DestroyContext(context);
             ImGui::SetCurrentContext(previous);
             return line;
         }},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const std::string path = dir + test.name;
        // Sparse: no disk is taken by the file's size.
        std::ofstream(path, std::ios::binary).close();
        fs::resize_file(path, test.limit + 1);
        const std::string said = test.read(path);
        EXPECT_NE(said.find(path), std::string::npos) << said;
        EXPECT_NE(said.find("is too large (" + std::to_string(test.limit + 1) + " bytes)"), std::string::npos) << said;
        EXPECT_LE(test.limit, u64{256} << 20) << "far below what a player's machine holds";
    }
}

// A file named below a folder is read only when it lies inside it, wherever the links
// on the way lead: a link out is refused saying nothing of what is there, and a folder
// whose name merely starts with the folder's is outside it.
TEST(FileRead, ReadsOnlyWhatLiesInsideItsFolder)
{
    const ScratchFolder scratch("file-read-inside");
    const std::string root = scratch.path().string() + "/";
    const std::string models = root + "models/";
    fs::create_directories(models + "sub");
    fs::create_directories(models + "folder");
    fs::create_directories(root + "models2");
    fs::create_directories(root + "models-old");
    fs::create_directories(root + "outside");
    std::ofstream(models + "file.bin", std::ios::binary) << "inside";
    std::ofstream(models + "sub/below.bin", std::ios::binary) << "below";
    std::ofstream(models + "big.bin", std::ios::binary) << std::string(2000, 'b');
    std::ofstream(root + "models2/x.bin", std::ios::binary) << "neighbour";
    std::ofstream(root + "models-old/x.bin", std::ios::binary) << "old";
    std::ofstream(root + "outside/secret.bin", std::ios::binary) << "secret";
    fs::create_symlink("file.bin", models + "alias.bin");
    fs::create_symlink(models + "file.bin", models + "absolute.bin");
    fs::create_hard_link(models + "file.bin", models + "hard.bin");
    fs::create_symlink("../outside/secret.bin", models + "linked.bin");
    fs::create_directory_symlink("../outside", models + "up");
    fs::create_directory_symlink("/", models + "root");
    fs::create_symlink("/etc/passwd", models + "passwd.bin");
    fs::create_directory_symlink("/proc/self", models + "self");
    fs::create_symlink("../models2/x.bin", models + "neighbour.bin");
    fs::create_symlink("../models-old/x.bin", models + "old.bin");
    fs::create_directory_symlink(root + "models", root + "linked-models");
    ASSERT_EQ(mkfifo((models + "pipe").c_str(), 0600), 0);

    const std::string outside = "leads out of its folder through a link";
    struct Case {
        std::string folder;
        std::string path;
        std::string problem; // "" when read
        std::string bytes;
    };
    const Case cases[] = {
        {models, models + "file.bin", "", "inside"},
        {root + "models", models + "file.bin", "", "inside"},
        {models, models + "sub/below.bin", "", "below"},
        {models, models + "alias.bin", "", "inside"},
        {models, models + "absolute.bin", "", "inside"},
        {models, models + "hard.bin", "", "inside"},
        {models, models + "sub/../file.bin", "", "inside"},
        {root + "linked-models/", root + "linked-models/file.bin", "", "inside"},
        {models, models + "linked.bin", outside, ""},
        {models, models + "up/secret.bin", outside, ""},
        {models, models + "root/etc/passwd", outside, ""},
        {models, models + "passwd.bin", outside, ""},
        {models, models + "self/environ", outside, ""},
        {models, models + "../models2/x.bin", outside, ""},
        {root + "models", models + "neighbour.bin", outside, ""},
        {models, models + "../models-old/x.bin", outside, ""},
        {root + "models", models + "old.bin", outside, ""},
        {models, models + "missing.bin", "cannot be opened (No such file or directory)", ""},
        {models, models + "pipe", "is a named pipe, not a regular file", ""},
        {models, models + "folder", "is a directory, not a regular file", ""},
        {models, models + "big.bin", "is too large (2000 bytes)", ""},
        {root + "gone/", root + "gone/file.bin", "is in a folder that cannot be opened (No such file or directory)",
         ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.path);
        std::vector<u8> bytes{1, 2};
        EXPECT_EQ(readRegularFileInside(test.folder, test.path, &bytes, 1000), test.problem);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), test.bytes);
    }
}

// The path the file is opened by was resolved a moment before: a link put anywhere in
// it since (a folder or the file swapped for one) fails the open, wherever the link
// leads, and so does a path that climbs out or starts at the root.
TEST(FileRead, ALinkInTheResolvedPathFailsTheOpen)
{
    const ScratchFolder scratch("file-read-beneath");
    const std::string root = scratch.path().string() + "/";
    fs::create_directories(root + "models/sub");
    fs::create_directories(root + "outside/sub");
    std::ofstream(root + "models/sub/x.bin", std::ios::binary) << "inside";
    std::ofstream(root + "outside/sub/x.bin", std::ios::binary) << "secret";
    fs::create_directory_symlink("../outside/sub", root + "models/relative-out");
    fs::create_directory_symlink(root + "outside/sub", root + "models/absolute-out");
    fs::create_directory_symlink("sub", root + "models/within");
    fs::create_symlink("../outside/sub/x.bin", root + "models/file-out.bin");
    const FileDescriptor folder(open((root + "models").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_GE(folder.fd, 0);

    const std::string outside = "leads out of its folder through a link";
    struct Case {
        std::string relative;
        std::string problem;
        std::string bytes;
    };
    const Case cases[] = {
        {"sub/x.bin", "", "inside"},
        {"relative-out/x.bin", outside, ""},
        {"absolute-out/x.bin", outside, ""},
        {"within/x.bin", outside, ""},
        {"file-out.bin", outside, ""},
        {"../outside/sub/x.bin", outside, ""},
        {root + "outside/sub/x.bin", outside, ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.relative);
        std::vector<u8> bytes{1, 2};
        EXPECT_EQ(readRegularFileBeneath(folder.fd, test.relative, &bytes, 1000), test.problem);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), test.bytes);
    }
}

namespace {

// Runs `reader` in a child process in which the openat2 call fails with `error`, as on a
// kernel without it or under a filter that forbids it, and gives what it said, or
// why it could not be run.
std::string saidWithoutOpenat2(int error, const std::function<std::string()>& reader)
{
#if defined(__x86_64__)
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) return "no pipe";
    const pid_t child = fork();
    if (child < 0) return "no child";
    if (child == 0) {
        close(pipeEnds[0]);
        sock_filter program[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (static_cast<u32>(error) & SECCOMP_RET_DATA)),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        const sock_fprog filter{static_cast<unsigned short>(std::size(program)), program};
        std::string said = "the filter could not be installed";
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0) {
            said = reader();
        }
        const char* next = said.data();
        size_t left = said.size();
        while (left > 0) {
            const ssize_t wrote = write(pipeEnds[1], next, left);
            if (wrote <= 0) break;
            next += wrote;
            left -= static_cast<size_t>(wrote);
        }
        _exit(0);
    }
    close(pipeEnds[1]);
    std::string said;
    char chunk[256];
    for (;;) {
        // A child stuck for a minute is killed rather than waited on for ever.
        pollfd end{pipeEnds[0], POLLIN, 0};
        if (poll(&end, 1, 60000) <= 0) {
            kill(child, SIGKILL);
            said = "the child did not answer";
            break;
        }
        const ssize_t got = read(pipeEnds[0], chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        said.append(chunk, static_cast<size_t>(got));
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the child failed: " + said;
    return said;
#else
    (void)error;
    (void)reader;
    return "openat2 is filtered only on x86-64";
#endif
}

} // namespace

// Where the kernel cannot be asked to keep the open inside the folder, a file plainly
// inside it is refused all the same, never opened unchecked.
TEST(FileRead, RefusesWhatCannotBeConfirmedToLieInside)
{
#if !defined(__x86_64__)
    GTEST_SKIP() << "openat2 is filtered only on x86-64";
#endif
    const ScratchFolder scratch("file-read-unconfirmed");
    const std::string models = scratch.path().string() + "/models/";
    fs::create_directories(models);
    std::ofstream(models + "file.bin", std::ios::binary) << "inside";
    std::vector<u8> unfiltered;
    ASSERT_EQ(readRegularFileInside(models, models + "file.bin", &unfiltered, 1000), "");

    for (const int error : {ENOSYS, EPERM, EINVAL, E2BIG}) {
        SCOPED_TRACE(std::strerror(error));
        const std::string said = saidWithoutOpenat2(error, [&] {
            std::vector<u8> bytes{1, 2};
            const std::string problem = readRegularFileInside(models, models + "file.bin", &bytes, 1000);
            return problem + "; " + std::to_string(bytes.size()) + " bytes";
        });
        EXPECT_EQ(said, "cannot be confirmed to lie inside its folder (" + std::string(std::strerror(error)) +
                            "); 0 bytes");
    }
}
