#include "Engine/Ui/UiLayoutText.h"

#include "Engine/Helper/QuotedText.h"

#include <charconv>
#include <cstdint>
#include <vector>

namespace {

// The range the library keeps a window's position and size in.
constexpr long ShortMin = INT16_MIN;
constexpr long ShortMax = INT16_MAX;

// A whole decimal number (an optional '-', then digits) that is all of `text`.
bool parseNumber(std::string_view text, long* value)
{
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, *value);
    return error == std::errc() && stop == end;
}

// "x,y" within [low, high] each.
bool parsePair(std::string_view text, long low, long high, long* x, long* y)
{
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) return false;
    return parseNumber(text.substr(0, comma), x) && parseNumber(text.substr(comma + 1), y) && *x >= low &&
           *x <= high && *y >= low && *y <= high;
}

std::vector<std::string_view> linesOf(std::string_view file)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start <= file.size()) {
        size_t end = file.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = file.size();
        lines.push_back(file.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// How much of a refused line the reason quotes, in bytes as written out.
constexpr size_t LineShown = 40;

// "has <what> at line <n>: <the line>".
UiLayoutText refused(const std::string& what, size_t lineIndex, std::string_view line)
{
    return {"", "has " + what + " at line " + std::to_string(lineIndex + 1) + ": " + quotedText(line, LineShown)};
}

} // namespace

UiLayoutText windowPlacesOf(std::string_view file)
{
    if (file.find('\0') != std::string_view::npos) return {"", "holds a zero byte, which a text file does not"};
    std::string text;
    bool inWindow = false;
    size_t windows = 0;
    const std::vector<std::string_view> lines = linesOf(file);
    for (size_t i = 0; i < lines.size(); i++) {
        const std::string_view line = lines[i];
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            // "[Type][Name]", read as the library reads it: the type up to the first
            // ']', the name from the next '[' to the line's last ']'.
            const std::string_view inner = line.substr(1, line.size() - 2);
            const size_t typeEnd = inner.find(']');
            const size_t nameStart = typeEnd == std::string_view::npos ? typeEnd : inner.find('[', typeEnd + 1);
            if (nameStart == std::string_view::npos) {
                inWindow = false; // the library skips a header it cannot read, and what follows it
                continue;
            }
            const std::string_view type = inner.substr(0, typeEnd);
            if (type != "Window") {
                return refused("a section the game does not keep", i, line);
            }
            if (++windows > LayoutWindowLimit) {
                const std::string limit = std::to_string(LayoutWindowLimit);
                return refused("more windows than the " + limit + " the game keeps", i, line);
            }
            text += "[Window][";
            text += inner.substr(nameStart + 1);
            text += "]\n";
            inWindow = true;
            continue;
        }
        if (!inWindow) continue;
        long x = 0;
        long y = 0;
        if (line.starts_with("Pos=")) {
            if (!parsePair(line.substr(4), ShortMin, ShortMax, &x, &y)) {
                return refused("a window position other than two whole numbers from -32768 to 32767", i, line);
            }
            text += "Pos=" + std::to_string(x) + "," + std::to_string(y) + "\n";
        } else if (line.starts_with("Size=")) {
            if (!parsePair(line.substr(5), 0, ShortMax, &x, &y)) {
                return refused("a window size other than two whole numbers from 0 to 32767", i, line);
            }
            text += "Size=" + std::to_string(x) + "," + std::to_string(y) + "\n";
        } else if (line.starts_with("Collapsed=")) {
            if (!parseNumber(line.substr(10), &x) || (x != 0 && x != 1)) {
                return refused("a collapsed flag other than 0 or 1", i, line);
            }
            text += "Collapsed=" + std::to_string(x) + "\n";
        }
    }
    return {text, ""};
}
