#include "Game/Ui/VideoModeItems.h"

#include <cstring>
#include <string>

namespace {

// Appends items to a zero-separated list, keeping room for the closing zero.
class ItemWriter {
public:
    ItemWriter(char* buffer_, size_t capacity_) : buffer(buffer_), capacity(capacity_)
    {
        if (capacity > 0) {
            buffer[0] = '\0';
        }
    }

    bool add(const std::string& item)
    {
        size_t needed = item.size() + 1;
        if (capacity == 0 || used + needed + 1 > capacity) {
            return false;
        }
        std::memcpy(buffer + used, item.c_str(), needed);
        used += needed;
        buffer[used] = '\0';
        return true;
    }

private:
    char* buffer;
    size_t capacity;
    size_t used = 0;
};

} // namespace

size_t buildResolutionItems(const std::vector<MonitorMode>& modes, char* buffer, size_t capacity)
{
    ItemWriter writer(buffer, capacity);
    if (!writer.add("Native")) {
        return 0;
    }
    size_t count = 0;
    for (const MonitorMode& mode : modes) {
        if (!writer.add(std::to_string(mode.width) + "x" + std::to_string(mode.height))) {
            break;
        }
        count++;
    }
    return count;
}

size_t buildRefreshItems(const MonitorMode& mode, char* buffer, size_t capacity)
{
    ItemWriter writer(buffer, capacity);
    if (!writer.add("Native")) {
        return 0;
    }
    size_t count = 0;
    for (i32 rate : mode.refreshRates) {
        if (!writer.add(std::to_string(rate) + " Hz")) {
            break;
        }
        count++;
    }
    return count;
}
