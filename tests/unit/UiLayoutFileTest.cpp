#include "Engine/Ui/UiLayoutFile.h"

#include "Engine/Helper/FileLimits.h"
#include "Engine/Ui/UiLayoutText.h"
#include "PrintableLine.h"
#include "ScratchFiles.h"
#include "UiHeadless.h"

#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

// What stands at `path`: its kind, where a link points, and a regular file's bytes.
std::string stateOf(const fs::path& path)
{
    const fs::file_type type = fs::symlink_status(path).type();
    std::string state = std::to_string(static_cast<int>(type));
    if (type == fs::file_type::symlink) state += " to " + fs::read_symlink(path).string();
    if (type == fs::file_type::regular) state += ": " + contents(path);
    return state;
}

// `count` windows, each of a name of its own.
std::string manyWindows(int count)
{
    std::string file;
    for (int i = 0; i < count; i++) file += "[Window][" + std::to_string(i) + "]\n";
    return file;
}

// `dir` emptied, then "imgui.ini" in it holding `text`; returns that file's path.
std::string freshLayoutFile(const fs::path& dir, const std::string& text)
{
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string path = (dir / "imgui.ini").string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

} // namespace

// The interface's layout file as a player may leave it: read when it is a file (through
// a link too), said in one line otherwise without waiting on it. Saved only by replacing
// a regular file that was read: a file refused at the start, or a link, is left as it is
// for the whole run and nothing more is said of it; a save that fails is said once.
TEST(UiLayoutFile, HostileFilesAreNeitherWaitedOnNorWrittenThrough)
{
    ImGuiContext* previous = ImGui::GetCurrentContext();
    const ScratchFolder scratch("ui-layout");
    const fs::path& dir = scratch.path();
    struct Case {
        const char* what;
        void (*make)(const fs::path& dir); // puts something at "imgui.ini"
        const char* loadLine;              // "" when nothing is said
        const char* saveLine;
        bool saved; // the save replaces the file; else what is there is left as it is
    };
    const Case cases[] = {
        {"no file", [](const fs::path&) {}, "", "", true},
        {"a file", [](const fs::path& d) { std::ofstream(d / "imgui.ini") << SavedLayout; }, "", "", true},
        {"a read-only file",
         [](const fs::path& d) {
             std::ofstream(d / "imgui.ini") << SavedLayout;
             fs::permissions(d / "imgui.ini", fs::perms::owner_read);
         },
         "", "imgui.ini: the file is read-only", false},
        {"a file holding a table", [](const fs::path& d) { std::ofstream(d / "imgui.ini") << "[Table][0x1,5]\n"; },
         "imgui.ini has a section the game does not keep", "", false},
        {"a file too large",
         [](const fs::path& d) {
             std::ofstream(d / "imgui.ini") << SavedLayout;
             fs::resize_file(d / "imgui.ini", FileLimits::LayoutFile + 1);
         },
         "imgui.ini is too large", "", false},
        {"a FIFO", [](const fs::path& d) { mkfifo((d / "imgui.ini").c_str(), 0600); },
         "imgui.ini is a named pipe, not a regular file", "", false},
        {"a directory", [](const fs::path& d) { fs::create_directory(d / "imgui.ini"); },
         "imgui.ini is a directory, not a regular file", "", false},
        {"a link to another file",
         [](const fs::path& d) {
             std::ofstream(d / "victim") << SavedLayout;
             fs::create_symlink("victim", d / "imgui.ini");
         },
         "", "", false},
        {"a link to nothing", [](const fs::path& d) { fs::create_symlink("gone", d / "imgui.ini"); },
         "imgui.ini cannot be opened (No such file or directory)", "", false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        fs::remove_all(dir);
        fs::create_directories(dir);
        test.make(dir);
        const std::string path = (dir / "imgui.ini").string();
        const std::string victim = fs::exists(dir / "victim") ? contents(dir / "victim") : "";
        const std::string before = stateOf(path);

        ImGuiContext* context = ImGui::CreateContext();
        ImGui::SetCurrentContext(context);
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
        if (test.saved) {
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path)));
        } else {
            EXPECT_EQ(stateOf(path), before) << "left as it is";
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

// What a hostile or hand-edited layout file may hold: only the places of windows reach
// the interface library, as numbers it keeps exactly; a file holding anything else it
// would act on (tables, whose counts it trusts, other sections, numbers it would cut
// to 16 bits, zero bytes) is refused in one line and the windows start where they
// always do.
TEST(UiLayoutFile, OnlyWindowPlacesTheLibraryKeepsExactlyReachIt)
{
    ImGuiContext* previous = ImGui::GetCurrentContext();
    const ScratchFolder scratch("ui-layout-text");
    const fs::path& dir = scratch.path();
    struct Window {
        const char* name;
        int x, y, width, height;
        bool collapsed;
    };
    struct Case {
        const char* what;
        std::string file;
        const char* refusal; // in the line said; "" when the file is read
        std::vector<Window> windows;
    };
    using namespace std::string_literals;
    const Case cases[] = {
        {"a table of two billion columns", "[Table][0x00000001,2147483647]\n",
         "has a section the game does not keep at line 1: \"[Table][0x00000001,2147483647]\"", {}},
        {"a table of -5 columns", "[Window][A]\nPos=1,2\n[Table][0x00000002,-5]\nColumn 0 Width=4\n",
         "has a section the game does not keep at line 3: \"[Table][0x00000002,-5]\"", {}},
        {"another kind of section", "[Docking][Data]\n", "a section the game does not keep at line 1", {}},
        {"a position past 16 bits", "[Window][Main Menu]\nPos=70000,5\n",
         "has a window position other than two whole numbers from -32768 to 32767 at line 2: \"Pos=70000,5\"", {}},
        {"a negative size", "[Window][A]\nSize=-5,3\n", "a window size other than two whole numbers from 0 to 32767", {}},
        {"a number in hex", "[Window][A]\nPos=0x10,5\n", "a window position other than two whole numbers", {}},
        {"a collapse of 2", "[Window][A]\nCollapsed=2\n", "a collapsed flag other than 0 or 1", {}},
        {"a zero byte in a name", "[Window][Main\0Menu]\nPos=1,2\n"s, "holds a zero byte", {}},
        {"empty", "", "", {}},
        {"a saved layout, CRLF and a comment",
         "; kept by hand\r\n[Window][Main Menu]\r\nPos=123,45\r\nSize=300,144\r\nCollapsed=1\r\n\r\n"
         "[Window][Debug##Default]\r\nPos=60,60\r\nSize=400,400\r\nCollapsed=0\r\n",
         "",
         {{"Main Menu", 123, 45, 300, 144, true}, {"Debug##Default", 60, 60, 400, 400, false}}},
        {"lines the library ignores, the ends of the range",
         "Pos=9,9\n[Window][A]\nDockId=0x5\nPos=-32768,32767\nSize=0,32767\n[broken header\n", "",
         {{"A", -32768, 32767, 0, 32767, false}}},
        {"a name with brackets", "[Window][a]b[c]\nPos=5,6\n", "", {{"a]b[c", 5, 6, 0, 0, false}}},
        // The library looks each window up among those read before it.
        {"tens of thousands of windows", manyWindows(60000), "has more windows than", {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const std::string path = freshLayoutFile(dir, test.file);

        ImGuiContext* context = ImGui::CreateContext();
        ImGui::SetCurrentContext(context);
        const std::string said = UiLayoutFile::load(path);
        if (test.refusal[0] == '\0') {
            EXPECT_EQ(said, "");
        } else {
            EXPECT_EQ(said.rfind("Interface layout file " + path + " ", 0), 0u) << said;
            EXPECT_NE(said.find(test.refusal), std::string::npos) << said;
            EXPECT_NE(said.find("; the windows start where they always do"), std::string::npos) << said;
        }
        ImGuiContext& g = *context;
        int count = 0;
        for (ImGuiWindowSettings* s = g.SettingsWindows.begin(); s != nullptr; s = g.SettingsWindows.next_chunk(s)) {
            count++;
        }
        EXPECT_EQ(count, static_cast<int>(test.windows.size()));
        for (const Window& window : test.windows) {
            SCOPED_TRACE(window.name);
            const ImGuiWindowSettings* settings = ImGui::FindWindowSettings(ImHashStr(window.name));
            ASSERT_NE(settings, nullptr);
            EXPECT_EQ(settings->Pos.x, window.x);
            EXPECT_EQ(settings->Pos.y, window.y);
            EXPECT_EQ(settings->Size.x, window.width);
            EXPECT_EQ(settings->Size.y, window.height);
            EXPECT_EQ(settings->Collapsed, window.collapsed);
        }
        ImGui::DestroyContext(context);
    }
    ImGui::SetCurrentContext(previous);
}

// A refused layout's line quotes the line it refuses: escaped, so that a window name or
// a number holding what a terminal acts on, or bytes that are not UTF-8, reach it only as
// printable text, and cut short between two characters.
TEST(UiLayoutFile, ARefusedLineIsQuotedEscaped)
{
    ImGuiContext* previous = ImGui::GetCurrentContext();
    const ScratchFolder scratch("ui-layout-quoted");
    const fs::path& dir = scratch.path();
    std::string accents;
    for (int i = 0; i < 30; i++) accents += "\xc3\xa9";
    struct Case {
        const char* what;
        std::string file;
        std::string quoted; // as the line shows it; "" when the file is read
    };
    const Case cases[] = {
        {"a terminal's escape sequence in a section", "[Tab\x1b[2Jle][x]\n", "\"[Tab\\x1b[2Jle][x]\""},
        {"a title-setting sequence after a position", "[Window][A]\nPos=1,2\x1b]0;owned\x07\n",
         "\"Pos=1,2\\x1b]0;owned\\x07\""},
        {"a C1 escape in a section", "[\xc2\x9b" "2J][x]\n", "\"[\\u009b2J][x]\""},
        {"a right-to-left override in a size", "[Window][A]\nSize=\xe2\x80\xae" "5,3\n", "\"Size=\\u202e5,3\""},
        {"a byte that is not UTF-8", "[Window][A]\nCollapsed=\xff\n", "\"Collapsed=\\xff\""},
        {"DEL and quotes", "[Window][A]\nPos=\"\x7f\"\n", "\"Pos=\\\"\\x7f\\\"\""},
        {"a long line cut inside a character", "[Table][x" + accents + "]\n",
         "\"[Table][x" + accents.substr(0, 26) + "...\""},
        {"a window name with controls past the limit",
         manyWindows(static_cast<int>(LayoutWindowLimit)) + "[Window][\x1b[2J\xc2\x9b]\n",
         "\"[Window][\\x1b[2J\\u009b]\""},
        {"a window name with controls is not said", "[Window][A\x1b[2J\xc2\x9b]\nPos=1,2\n", ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const std::string path = freshLayoutFile(dir, test.file);

        ImGuiContext* context = ImGui::CreateContext();
        ImGui::SetCurrentContext(context);
        testing::internal::CaptureStdout();
        const std::string said = UiLayoutFile::load(path);
        const std::string printed = testing::internal::GetCapturedStdout();
        ImGui::DestroyContext(context);
        EXPECT_EQ(printed, said.empty() ? "" : said + "\n");
        EXPECT_EQ(linePrintableProblem(said), "");
        if (test.quoted.empty()) {
            EXPECT_EQ(said, "");
        } else {
            EXPECT_NE(said.find(": " + test.quoted + "; the windows start where they always do"), std::string::npos)
                << said;
        }
    }
    ImGui::SetCurrentContext(previous);
}

// Whatever windows the library holds, the layout the game saves is one it reads at the
// next start: a layout it would refuse is not written, the file is left as it was, and
// that is said once.
TEST(UiLayoutFile, WhatTheGameSavesItReadsBack)
{
    ImGuiContext* previous = ImGui::GetCurrentContext();
    const ScratchFolder scratch("ui-layout-save");
    const fs::path& dir = scratch.path();
    struct Case {
        const char* what;
        int windows; // named "0", "1", ...
        ImVec2 pos;
        ImVec2 size;
        const char* saveLine; // "" when the layout is written
    };
    const Case cases[] = {
        {"a few windows", 3, {20, 30}, {200, 100}, ""},
        {"a window wider than the library keeps", 1, {0, 0}, {40000, 100},
         "the game would refuse it at the next start, as it has a window size other than"},
        {"more windows than the game keeps", static_cast<int>(LayoutWindowLimit) + 1, {0, 0}, {200, 100},
         "the game would refuse it at the next start, as it has more windows than"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const std::string path = freshLayoutFile(dir, SavedLayout);

        ImGuiContext* context = ImGui::CreateContext(headlessUiContext()->IO.Fonts);
        ImGui::SetCurrentContext(context);
        ASSERT_EQ(UiLayoutFile::load(path), "");
        ImGuiIO& io = ImGui::GetIO();
        io.DisplaySize = ImVec2(1280, 720);
        io.DeltaTime = 1.0f / 60.0f;
        ImGui::NewFrame();
        for (int i = 0; i < test.windows; i++) {
            ImGui::SetNextWindowPos(test.pos);
            ImGui::SetNextWindowSize(test.size);
            ImGui::Begin(std::to_string(i).c_str());
            ImGui::End();
        }
        ImGui::EndFrame();

        io.WantSaveIniSettings = true;
        const std::string said = UiLayoutFile::saveWhenAsked(path);
        EXPECT_NE(said.find(test.saveLine), std::string::npos) << said;
        EXPECT_EQ(said.empty(), test.saveLine[0] == '\0') << said;
        io.WantSaveIniSettings = true;
        EXPECT_EQ(UiLayoutFile::saveWhenAsked(path), "") << "a failure is said once";
        const std::string saved = contents(path);
        EXPECT_EQ(windowPlacesOf(saved).problem, "") << saved.substr(0, 200);
        EXPECT_EQ(saved == SavedLayout, !said.empty()) << "written unless refused";
        ImGui::DestroyContext(context);
    }
    ImGui::SetCurrentContext(previous);
}
