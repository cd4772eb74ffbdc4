#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// What of an "imgui.ini" the interface library is given. The library trusts what it
// reads: its table sections take column counts as they stand (a count of two billion
// or of -5 crashes the start), and it stores window places as 16-bit numbers (70000
// comes back as 4464). The game keeps no tables, so only the places of windows pass:
// each "[Window][name]" section with its "Pos=x,y", "Size=w,h" and "Collapsed=0|1"
// lines, written out anew from the numbers read. Blank lines, comments (';') and lines
// the library ignores as well are left out. A file that holds anything else the library
// would act on (another kind of section, a number outside what it stores, a zero byte)
// is refused as a whole: the windows then start where they always do. So is a file of
// more windows than LayoutWindowLimit: the library looks a window up among all those it
// has read, one by one, so tens of thousands of them would hold the start for seconds.
struct UiLayoutText {
    std::string text;    // for the library; empty when there is nothing to give it
    std::string problem; // empty, or why the file is refused, as a phrase to follow its name
};

// The most windows a layout may hold: far above the few the game has.
constexpr size_t LayoutWindowLimit = 256;

UiLayoutText windowPlacesOf(std::string_view file);
