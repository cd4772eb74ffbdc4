#pragma once

// The settings file record and its 53-byte encoding: pure functions, no window or GPU.

#include "Engine/Types.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// Values the game starts with when no settings file is read.
namespace SettingsDefaults {
constexpr f32 MouseSpeed = 1.0f;
constexpr u8 CheatsEnabled = 0;
constexpr i32 ShadowQuality = 2; // High
constexpr i32 FullscreenMode = 0;
constexpr i32 RefreshMode = 0;
constexpr i32 MonitorIndex = 0;
constexpr u8 Fullscreen = 0;
constexpr u8 Maximized = 0;
constexpr i32 WindowX = 50;
constexpr i32 WindowY = 50;
constexpr i32 WindowWidth = 1600;
constexpr i32 WindowHeight = 900;
constexpr i32 RefreshRate = 0;
} // namespace SettingsDefaults

// Accepted ranges of the stored values; anything outside falls back to its default.
namespace SettingsLimits {
constexpr f32 MinMouseSpeed = 0.01f;
constexpr f32 MaxMouseSpeed = 100.0f;
constexpr i32 ShadowQualityCount = 4;  // Low, Medium, High, Ultra
constexpr i32 FullscreenModeCount = 2; // Windowed, Fullscreen
constexpr i32 RefreshModeCount = 2;    // Unlimited, V-Sync
constexpr i32 MaxMonitorIndex = 1023;  // far beyond any real set-up; clamped to the monitors later
constexpr i32 MaxWindowCoordinate = 32767;
constexpr i32 MaxWindowSide = 16384;
constexpr i32 MaxRefreshRate = 1000; // -1 means no preference
} // namespace SettingsLimits

// Byte offsets of "config.gcfg": little-endian, packed, with two padding bytes inside
// the window record and the window's monitor handle (meaningless on disk) at the end.
namespace SettingsLayout {
constexpr size_t MouseSpeed = 0;     // f32
constexpr size_t CheatsEnabled = 4;  // u8
constexpr size_t ShadowQuality = 5;  // i32
constexpr size_t FullscreenMode = 9; // i32
constexpr size_t RefreshMode = 13;   // i32
constexpr size_t MonitorIndex = 17;  // i32
constexpr size_t Fullscreen = 21;    // u8
constexpr size_t Maximized = 22;     // u8
constexpr size_t Padding = 23;       // 2 bytes, written as zeros
constexpr size_t WindowX = 25;       // i32
constexpr size_t WindowY = 29;       // i32
constexpr size_t WindowWidth = 33;   // i32
constexpr size_t WindowHeight = 37;  // i32
constexpr size_t RefreshRate = 41;   // i32
constexpr size_t MonitorHandle = 45; // 8 bytes, written as zeros
constexpr size_t FileSize = 53;
} // namespace SettingsLayout

// Everything the settings file holds, in file order.
struct SettingsRecord {
    f32 mouseSpeed = SettingsDefaults::MouseSpeed;
    u8 cheatsEnabled = SettingsDefaults::CheatsEnabled;
    i32 shadowQuality = SettingsDefaults::ShadowQuality;
    i32 fullscreenMode = SettingsDefaults::FullscreenMode;
    i32 refreshMode = SettingsDefaults::RefreshMode;
    i32 monitorIndex = SettingsDefaults::MonitorIndex;
    u8 fullscreen = SettingsDefaults::Fullscreen;
    u8 maximized = SettingsDefaults::Maximized;
    i32 x = SettingsDefaults::WindowX;
    i32 y = SettingsDefaults::WindowY;
    i32 width = SettingsDefaults::WindowWidth;
    i32 height = SettingsDefaults::WindowHeight;
    i32 refreshRate = SettingsDefaults::RefreshRate;

    bool operator==(const SettingsRecord&) const = default;
};

using SettingsBytes = std::array<u8, SettingsLayout::FileSize>;

SettingsBytes encodeSettings(const SettingsRecord& record);

// Decodes a whole file. Returns false, leaving `record` untouched, unless `size` is
// exactly 53 bytes. Each field outside its range is replaced by its default and its
// name appended to `rejectedFields`.
bool decodeSettings(const u8* bytes, size_t size, SettingsRecord& record, std::vector<std::string>& rejectedFields);
