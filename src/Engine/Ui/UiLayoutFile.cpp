#include "Engine/Ui/UiLayoutFile.h"

#include "Engine/Helper/Fatal.h"
#include "Engine/Helper/FileLimits.h"
#include "Engine/Helper/FileRead.h"
#include "Engine/Helper/FileWrite.h"
#include "Engine/Ui/UiLayoutText.h"

#include <imgui.h>

#include <cerrno>
#include <sys/stat.h>
#include <vector>

namespace UiLayoutFile {

namespace {

bool saveFailureSaid = false;
// The file found at the start was refused, or is a link: it is not saved over.
bool fileLeftAsItIs = false;

// Why load() would refuse `layout`, as a phrase to follow "it", or empty.
std::string refusalOf(std::string_view layout)
{
    if (layout.size() > FileLimits::LayoutFile) return "is too large (" + std::to_string(layout.size()) + " bytes)";
    return windowPlacesOf(layout).problem;
}

} // namespace

std::string load(const std::string& path)
{
    ImGui::GetIO().IniFilename = nullptr;
    saveFailureSaid = false;
    struct stat status {};
    const bool found = lstat(path.c_str(), &status) == 0;
    // A link is read through, but the saver never writes through one.
    fileLeftAsItIs = found && S_ISLNK(status.st_mode);
    // No file yet is the usual start (a link to nothing is not).
    if (!found && errno == ENOENT) return "";
    std::vector<u8> bytes;
    std::string problem = readRegularFile(path, &bytes, FileLimits::LayoutFile);
    // Only the windows' places reach the library, which trusts what it reads.
    UiLayoutText layout;
    if (problem.empty()) {
        layout = windowPlacesOf(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        problem = layout.problem;
    }
    if (!problem.empty()) {
        fileLeftAsItIs = true;
        std::string line = "Interface layout file " + path + " " + problem + "; the windows start where they always do";
        printLine(line);
        return line;
    }
    // (An empty text must not be handed over: the library reads a size of 0 as "up to
    // the first zero byte".)
    if (!layout.text.empty()) ImGui::LoadIniSettingsFromMemory(layout.text.data(), layout.text.size());
    return "";
}

std::string saveWhenAsked(const std::string& path)
{
    ImGuiIO& io = ImGui::GetIO();
    if (!io.WantSaveIniSettings) return "";
    io.WantSaveIniSettings = false;
    if (fileLeftAsItIs) return "";
    size_t size = 0;
    const char* text = ImGui::SaveIniSettingsToMemory(&size);
    std::string problem = refusalOf(std::string_view(text, size));
    if (!problem.empty()) {
        problem = "the game would refuse it at the next start, as it " + problem;
    } else {
        problem = replaceRegularFile(path, reinterpret_cast<const u8*>(text), size, FileSync::Replaced);
    }
    if (problem.empty() || saveFailureSaid) return "";
    saveFailureSaid = true;
    std::string line = "Unable to save the interface layout to " + path + ": " + problem;
    printLine(line);
    return line;
}

} // namespace UiLayoutFile
