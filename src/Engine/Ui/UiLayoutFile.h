#pragma once

#include <string>

// The interface library keeps where its windows stand in "imgui.ini" in the working
// directory. The game reads and writes that file itself rather than let the library do
// it: the library's own reading waits for ever on a FIFO, and its writing follows a
// link into whatever file the link names. A file that cannot be used is said in one
// line and left as it is for the whole run (never saved over, nothing more said of it);
// the windows then start where they always do. A link is read through, as a player may
// keep the file elsewhere, but the game never writes through one (FileWrite.h): the
// layout it names is used and left as it is, window moves are then not kept.
namespace UiLayoutFile {

constexpr const char* Path = "imgui.ini";

// Right after the interface's context is made, before its first frame: the library is
// told to keep off the file, and what the file holds is handed to it. Returns the line
// said, if any.
std::string load(const std::string& path = Path);

// After each interface frame has begun: writes the layout when the library asks for it
// (a few seconds after a window moved), replacing the file, unless the file is left as
// it is (above) or the layout is one that load() would refuse; the first failure is
// said in one line, later ones quietly. Returns the line said, if any.
std::string saveWhenAsked(const std::string& path = Path);

} // namespace UiLayoutFile
