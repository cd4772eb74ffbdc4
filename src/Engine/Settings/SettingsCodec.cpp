#include "Engine/Settings/SettingsCodec.h"

#include <bit>
#include <cmath>

namespace {

void putU32(SettingsBytes& bytes, size_t offset, u32 value)
{
    for (size_t i = 0; i < 4; i++) {
        bytes[offset + i] = static_cast<u8>(value >> (8 * i));
    }
}

void putI32(SettingsBytes& bytes, size_t offset, i32 value)
{
    putU32(bytes, offset, static_cast<u32>(value));
}

u32 getU32(const u8* bytes, size_t offset)
{
    u32 value = 0;
    for (size_t i = 0; i < 4; i++) {
        value |= static_cast<u32>(bytes[offset + i]) << (8 * i);
    }
    return value;
}

i32 getI32(const u8* bytes, size_t offset)
{
    return static_cast<i32>(getU32(bytes, offset));
}

// Keeps `value` when it lies in [low, high], else the default; notes rejected fields.
class FieldChecker {
public:
    explicit FieldChecker(std::vector<std::string>& rejected_) : rejected(rejected_) {}

    i32 range(const char* name, i32 value, i32 low, i32 high, i32 fallback)
    {
        if (value >= low && value <= high) {
            return value;
        }
        rejected.emplace_back(name);
        return fallback;
    }

    u8 flag(const char* name, u8 value, u8 fallback)
    {
        return static_cast<u8>(range(name, value, 0, 1, fallback));
    }

    f32 speed(const char* name, f32 value, f32 low, f32 high, f32 fallback)
    {
        if (std::isfinite(value) && value >= low && value <= high) {
            return value;
        }
        rejected.emplace_back(name);
        return fallback;
    }

private:
    std::vector<std::string>& rejected;
};

} // namespace

SettingsBytes encodeSettings(const SettingsRecord& record)
{
    namespace L = SettingsLayout;
    SettingsBytes bytes{}; // padding and monitor handle stay zero
    putU32(bytes, L::MouseSpeed, std::bit_cast<u32>(record.mouseSpeed));
    bytes[L::CheatsEnabled] = record.cheatsEnabled;
    putI32(bytes, L::ShadowQuality, record.shadowQuality);
    putI32(bytes, L::FullscreenMode, record.fullscreenMode);
    putI32(bytes, L::RefreshMode, record.refreshMode);
    putI32(bytes, L::MonitorIndex, record.monitorIndex);
    bytes[L::Fullscreen] = record.fullscreen;
    bytes[L::Maximized] = record.maximized;
    putI32(bytes, L::WindowX, record.x);
    putI32(bytes, L::WindowY, record.y);
    putI32(bytes, L::WindowWidth, record.width);
    putI32(bytes, L::WindowHeight, record.height);
    putI32(bytes, L::RefreshRate, record.refreshRate);
    return bytes;
}

bool decodeSettings(const u8* bytes, size_t size, SettingsRecord& record, std::vector<std::string>& rejectedFields)
{
    namespace L = SettingsLayout;
    namespace D = SettingsDefaults;
    namespace R = SettingsLimits;
    if (bytes == nullptr || size != L::FileSize) {
        return false;
    }
    FieldChecker check(rejectedFields);
    SettingsRecord decoded;
    decoded.mouseSpeed = check.speed("mouseSpeed", std::bit_cast<f32>(getU32(bytes, L::MouseSpeed)),
                                     R::MinMouseSpeed, R::MaxMouseSpeed, D::MouseSpeed);
    decoded.cheatsEnabled = check.flag("cheatsEnabled", bytes[L::CheatsEnabled], D::CheatsEnabled);
    decoded.shadowQuality = check.range("shadowQuality", getI32(bytes, L::ShadowQuality), 0,
                                        R::ShadowQualityCount - 1, D::ShadowQuality);
    decoded.fullscreenMode = check.range("fullscreenMode", getI32(bytes, L::FullscreenMode), 0,
                                         R::FullscreenModeCount - 1, D::FullscreenMode);
    decoded.refreshMode = check.range("refreshMode", getI32(bytes, L::RefreshMode), 0, R::RefreshModeCount - 1,
                                      D::RefreshMode);
    decoded.monitorIndex = check.range("monitorIndex", getI32(bytes, L::MonitorIndex), 0, R::MaxMonitorIndex,
                                       D::MonitorIndex);
    decoded.fullscreen = check.flag("fullscreen", bytes[L::Fullscreen], D::Fullscreen);
    decoded.maximized = check.flag("maximized", bytes[L::Maximized], D::Maximized);
    decoded.x = check.range("x", getI32(bytes, L::WindowX), -R::MaxWindowCoordinate, R::MaxWindowCoordinate,
                            D::WindowX);
    decoded.y = check.range("y", getI32(bytes, L::WindowY), -R::MaxWindowCoordinate, R::MaxWindowCoordinate,
                            D::WindowY);
    decoded.width = check.range("width", getI32(bytes, L::WindowWidth), 1, R::MaxWindowSide, D::WindowWidth);
    decoded.height = check.range("height", getI32(bytes, L::WindowHeight), 1, R::MaxWindowSide, D::WindowHeight);
    decoded.refreshRate = check.range("refreshRate", getI32(bytes, L::RefreshRate), -1, R::MaxRefreshRate,
                                      D::RefreshRate);
    record = decoded;
    return true;
}
