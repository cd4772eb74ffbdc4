#include "Engine/Helper/FileRead.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;

// Every kind of path a player may leave where a game file should be: a file is read
// whole (through links); anything else is refused with a reason, and none is waited on.
TEST(FileRead, KindsOfPaths)
{
    const std::string dir = ::testing::TempDir() + "file-read/";
    fs::remove_all(dir);
    fs::create_directories(dir + "folder");
    std::ofstream(dir + "file.bin", std::ios::binary) << "abc";
    std::ofstream(dir + "empty.bin", std::ios::binary);
    ASSERT_EQ(mkfifo((dir + "pipe").c_str(), 0600), 0);
    fs::create_symlink(dir + "file.bin", dir + "link-to-file");
    fs::create_symlink(dir + "pipe", dir + "link-to-pipe");
    fs::create_symlink(dir + "gone", dir + "dangling");
    // A socket's path: its name must fit the address, so it goes in /tmp.
    const std::string socketPath = "/tmp/brackenhold-file-read-" + std::to_string(getpid());
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
        EXPECT_EQ(readRegularFile(test.path, &bytes), test.problem);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), test.bytes);
        EXPECT_EQ(regularFileProblem(test.path), test.problem);
    }
    close(sock);
    unlink(socketPath.c_str());
}

TEST(FileRead, SizeLimit)
{
    const std::string path = ::testing::TempDir() + "file-read-limit.bin";
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
