#include "Engine/Settings/DisplayModes.h"

#include <algorithm>
#include <iterator>

std::vector<MonitorMode> groupVideoModes(const std::vector<VideoMode>& modes)
{
    std::vector<MonitorMode> grouped;
    for (const VideoMode& mode : modes) {
        // Modes of one size are usually adjacent, but a size can come back with
        // another colour depth; it still gives a single entry.
        auto entry = std::find_if(grouped.begin(), grouped.end(), [&](const MonitorMode& existing) {
            return existing.width == mode.width && existing.height == mode.height;
        });
        if (entry == grouped.end()) {
            grouped.push_back({mode.width, mode.height, {}});
            entry = std::prev(grouped.end());
        }
        std::vector<i32>& rates = entry->refreshRates;
        if (std::find(rates.begin(), rates.end(), mode.refreshRate) == rates.end()) {
            rates.push_back(mode.refreshRate);
        }
    }
    return grouped;
}

i32 clampMonitorIndex(i32 index, size_t monitorCount)
{
    if (monitorCount == 0) {
        return 0;
    }
    return std::clamp(index, 0, static_cast<i32>(monitorCount) - 1);
}

const std::vector<MonitorMode>& modesOfMonitor(const std::vector<std::vector<MonitorMode>>& monitors, i32 index)
{
    static const std::vector<MonitorMode> none;
    if (index < 0 || static_cast<size_t>(index) >= monitors.size()) {
        return none;
    }
    return monitors[static_cast<size_t>(index)];
}

i32 clampResolutionIndex(i32 index, const std::vector<MonitorMode>& modes)
{
    return std::clamp(index, 0, static_cast<i32>(modes.size()));
}

i32 clampRefreshIndex(i32 index, const std::vector<MonitorMode>& modes, i32 resolutionIndex)
{
    resolutionIndex = clampResolutionIndex(resolutionIndex, modes);
    if (resolutionIndex == 0) {
        return 0;
    }
    const std::vector<i32>& rates = modes[static_cast<size_t>(resolutionIndex - 1)].refreshRates;
    return std::clamp(index, 0, static_cast<i32>(rates.size()));
}

ModeIndices findModeIndices(const std::vector<MonitorMode>& modes, i32 width, i32 height, i32 refreshRate)
{
    ModeIndices indices;
    for (size_t k = 0; k < modes.size(); k++) {
        if (modes[k].width != width || modes[k].height != height) {
            continue;
        }
        indices.resolutionIndex = static_cast<i32>(k) + 1;
        const std::vector<i32>& rates = modes[k].refreshRates;
        auto rate = std::find(rates.begin(), rates.end(), refreshRate);
        if (rate != rates.end()) {
            indices.refreshIndex = static_cast<i32>(rate - rates.begin()) + 1;
        }
        break;
    }
    return indices;
}

FullscreenTarget fullscreenTarget(const std::vector<MonitorMode>& modes, i32 resolutionIndex, i32 refreshIndex,
                                  i32 currentWidth, i32 currentHeight)
{
    resolutionIndex = clampResolutionIndex(resolutionIndex, modes);
    refreshIndex = clampRefreshIndex(refreshIndex, modes, resolutionIndex);
    if (resolutionIndex == 0) {
        return {currentWidth, currentHeight, -1};
    }
    const MonitorMode& mode = modes[static_cast<size_t>(resolutionIndex - 1)];
    FullscreenTarget target{mode.width, mode.height, -1};
    if (refreshIndex > 0) {
        i32 rate = mode.refreshRates[static_cast<size_t>(refreshIndex - 1)];
        target.refreshRate = rate > 0 ? rate : -1;
    }
    return target;
}

i32 shadowMapSizeOf(u32 quality, i32 current)
{
    if (quality < std::size(ShadowMapSizes::ByQuality)) {
        return ShadowMapSizes::ByQuality[quality];
    }
    return current;
}

i32 shadowQualityOfSize(i32 side)
{
    for (size_t quality = 0; quality < std::size(ShadowMapSizes::ByQuality); quality++) {
        if (ShadowMapSizes::ByQuality[quality] == side) {
            return static_cast<i32>(quality);
        }
    }
    return -1;
}

std::vector<i32> shadowMapCandidates(i32 requested)
{
    std::vector<i32> sides;
    if (requested > 0) {
        sides.push_back(requested);
    }
    for (size_t i = std::size(ShadowMapSizes::ByQuality); i-- > 0;) {
        if (ShadowMapSizes::ByQuality[i] < requested) {
            sides.push_back(ShadowMapSizes::ByQuality[i]);
        }
    }
    return sides;
}

namespace {

std::string shadowMapName(i32 side)
{
    constexpr const char* Names[] = {"Low", "Medium", "High", "Ultra"};
    static_assert(std::size(Names) == std::size(ShadowMapSizes::ByQuality));
    const std::string size = std::to_string(side) + " x " + std::to_string(side);
    const i32 quality = shadowQualityOfSize(side);
    return quality < 0 ? size : std::string(Names[quality]) + " (" + size + ")";
}

} // namespace

std::string shadowFallbackLine(i32 requested, i32 used, const std::string& reason)
{
    return "Shadow quality " + shadowMapName(requested) + " does not fit this device (" + reason + "); using " +
           shadowMapName(used) + " instead";
}
