#include "Engine/Ui/UiLayoutFile.h"

#include "UiHeadless.h"

#include <gtest/gtest.h>
#include <imgui.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

const char* const SavedLayout = "[Window][Main Menu]\nPos=123,45\nSize=300,144\nCollapsed=0\n\n";

} // namespace

// The interface's layout file as a player may leave it: read when it is a file (through
// a link too), said in one line otherwise without waiting on it; saved only by replacing
// a regular file, never through a link, the first failure said and later ones not.
TEST(UiLayoutFile, HostileFilesAreNeitherWaitedOnNorWrittenThrough)
{
    ImGuiContext* previous = ImGui::GetCurrentContext();
    const fs::path dir = fs::path(::testing::TempDir()) / "ui-layout";
    struct Case {
        const char* what;
        void (*make)(const fs::path& dir); // puts something at "imgui.ini"
        const char* loadLine;              // "" when nothing is said
        const char* saveLine;
    };
    const Case cases[] = {
        {"no file", [](const fs::path&) {}, "", ""},
        {"a file", [](const fs::path& d) { std::ofstream(d / "imgui.ini") << SavedLayout; }, "", ""},
        {"a FIFO", [](const fs::path& d) { mkfifo((d / "imgui.ini").c_str(), 0600); },
         "imgui.ini is a named pipe, not a regular file",
         "imgui.ini: it is a named pipe, not a regular file"},
        {"a link to another file",
         [](const fs::path& d) {
             std::ofstream(d / "victim") << SavedLayout;
             fs::create_symlink("victim", d / "imgui.ini");
         },
         "", "imgui.ini: it is a symbolic link, which the game neither writes through nor replaces"},
        {"a link to nothing", [](const fs::path& d) { fs::create_symlink("gone", d / "imgui.ini"); },
         "imgui.ini cannot be opened (No such file or directory)",
         "imgui.ini: it is a symbolic link, which the game neither writes through nor replaces"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        fs::remove_all(dir);
        fs::create_directories(dir);
        test.make(dir);
        const std::string path = (dir / "imgui.ini").string();
        const std::string victim = fs::exists(dir / "victim") ? contents(dir / "victim") : "";

        ImGuiContext* context = ImGui::CreateContext();
        const std::string loaded = UiLayoutFile::load(path);
        EXPECT_EQ(ImGui::GetIO().IniFilename, nullptr) << "the library keeps off the file";
        EXPECT_NE(loaded.find(test.loadLine), std::string::npos) << loaded;
        EXPECT_EQ(loaded.empty(), std::string(test.loadLine).empty()) << loaded;

        // The layout read is the one the library shows; a save writes it back.
        ImGui::GetIO().WantSaveIniSettings = true;
        const std::string saved = UiLayoutFile::saveWhenAsked(path);
        EXPECT_EQ(saved.empty(), std::string(test.saveLine).empty()) << saved;
        EXPECT_NE(saved.find(test.saveLine), std::string::npos) << saved;
        ImGui::GetIO().WantSaveIniSettings = true;
        EXPECT_EQ(UiLayoutFile::saveWhenAsked(path), "") << "a failure is said once";
        EXPECT_FALSE(ImGui::GetIO().WantSaveIniSettings);
        if (test.saveLine[0] == '\0') {
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path)));
        }
        if (std::string(test.what) == "a file") {
            EXPECT_NE(contents(path).find("Pos=123,45"), std::string::npos) << contents(path);
        }
        if (!victim.empty()) {
            EXPECT_EQ(contents(dir / "victim"), victim);
        }
        ImGui::DestroyContext(context);
    }
    ImGui::SetCurrentContext(previous);
}
