#include "Engine/Helper/FileLimits.h"
#include "Engine/Helper/FileRead.h"
#include "Engine/Image/Dds.h"
#include "Engine/Mesh/ModelImport.h"
#include "Engine/Pipeline/ShaderFile.h"
#include "Engine/Ui/UiLayoutFile.h"
#include "Game/Buildings/BuildingConfig.h"
#include "ScratchFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <imgui.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/un.h>
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
