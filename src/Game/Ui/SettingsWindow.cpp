#include "Engine/Engine.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Window/Input.h"
#include "Game/Ui/EscapeKey.h"
#include "Game/Ui/Ui.h"
#include "Game/Ui/UiWidgets.h"
#include "Game/Ui/VideoModeItems.h"
#include "World/Culling/CullingGrid.h"

#include <imgui.h>

#include <algorithm>
#include <iterator>

namespace Ui {

namespace {

constexpr const char* MonitorItems[] = {"0 (Primary)", "1", "2", "3", "4"};

// The reason the last "Apply and save" failed, shown under the buttons.
std::string saveFailure;

void leaveSettings()
{
    saveFailure.clear();
    popMenuState();
}

// The interface library edits int and bool values; the settings keep their own types.
void comboOverU32(const char* label, u32* value, const char* items)
{
    int item = static_cast<int>(*value);
    ImGui::Combo(label, &item, items);
    *value = static_cast<u32>(std::max(item, 0));
}

void checkboxOverU8(const char* label, u8* value)
{
    bool checked = *value != 0;
    ImGui::Checkbox(label, &checked);
    *value = checked ? 1 : 0;
}

void drawGraphicsTab()
{
    ImGui::BeginChild("GeneralContainer", ImVec2(0.0f, UiLayout::TabContentHeight));
    comboOverU32("Shadow Quality", &Settings::shadowQuality, "Low\0Medium\0High\0Ultra\0");
    checkboxOverU8("Frustum Culling", &frustumCullingEnabled);
    ImGui::EndChild();
}

void drawControlTab()
{
    ImGui::BeginChild("GeneralContainer", ImVec2(0.0f, UiLayout::TabContentHeight));
    // Clamped also when a value is typed in (Ctrl+click), so only speeds the settings
    // file accepts are ever used and saved.
    ImGui::SliderFloat("Mouse speed", &Settings::mouseSpeed, SettingsLimits::MinMouseSpeed,
                       SettingsLimits::MaxMouseSpeed, "%.3f",
                       ImGuiSliderFlags_Logarithmic | ImGuiSliderFlags_AlwaysClamp);
    ImGui::EndChild();
}

// "Back" on the left; "Apply" and "Apply and save" on the right edge.
void drawSettingsButtons()
{
    ImGui::PushFont(fontMedium);
    if (ImGui::Button("Back")) {
        leaveSettings();
    }
    const ImGuiStyle& style = ImGui::GetStyle();
    f32 buttonsWidth = ImGui::CalcTextSize("Apply and save").x + ImGui::CalcTextSize("Apply").x +
                       4.0f * style.FramePadding.x + style.ItemSpacing.x;
    ImGui::SameLine(ImGui::GetWindowContentRegionMax().x - buttonsWidth);
    if (ImGui::Button("Apply")) {
        Settings::apply();
    }
    ImGui::SameLine();
    if (ImGui::Button("Apply and save")) {
        Settings::apply();
        std::string error;
        saveFailure = Settings::save(&error) ? "" : error;
    }
    ImGui::PopFont();
}

// A failed save stays in the window until the next save or until the window is left.
void drawSaveFailure()
{
    if (saveFailure.empty()) return;
    ImGui::Spacing();
    ImGui::PushFont(fontMedium);
    ImGui::TextColored(UiColours::Warning, "The settings were not saved!");
    ImGui::PopFont();
    ImGui::PushTextWrapPos(0.0f);
    ImGui::TextUnformatted(saveFailure.c_str());
    ImGui::PopTextWrapPos();
}

} // namespace

void drawSettingsWindow()
{
    // F8 switches culling on every screen.
    if (Engine::input->pressed(Key::F8)) {
        frustumCullingEnabled = frustumCullingEnabled ? 0 : 1;
    }
    if (currentMenuState() != MenuStateSettings) {
        return;
    }
    // Escape returns to the screen below; the window still shows this frame.
    if (takeEscapePress(*Engine::input, "settings window")) {
        leaveSettings();
    }

    beginFixedWindow("Settings", UiLayout::SettingsWidth);
    ImGui::PushFont(fontLarge);
    textCentred("Settings");
    ImGui::PopFont();
    ImGui::Spacing();
    ImGui::Separator();
    ImGui::Spacing();

    if (ImGui::BeginTabBar("SettingTabs")) {
        if (ImGui::BeginTabItem("General")) {
            drawGeneralTab();
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("Graphics")) {
            drawGraphicsTab();
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("Control")) {
            drawControlTab();
            ImGui::EndTabItem();
        }
        ImGui::EndTabBar();
    }

    ImGui::Separator();
    ImGui::Spacing();
    drawSettingsButtons();
    drawSaveFailure();
    ImGui::End();
}

const std::string& settingsSaveFailure()
{
    return saveFailure;
}

void drawGeneralTab()
{
    ImGui::BeginChild("GeneralContainer", ImVec2(0.0f, UiLayout::TabContentHeight));
    checkboxOverU8("Enable Cheats", &Settings::cheatsEnabled);
    if (ImGui::Button("Open debug window")) {
        debugFlags->debugWindowOpen = true;
    }
    ImGui::Combo("Fullscreen Mode", &Settings::fullscreenMode, "Windowed\0Fullscreen\0");
    const bool fullscreen = Settings::fullscreenMode == 1;
    if (fullscreen) {
        int offered = static_cast<int>(std::min(Settings::monitorModes.size(), std::size(MonitorItems)));
        ImGui::Combo("Monitor", &Settings::monitorIndex, MonitorItems, offered);
    }
    ImGui::Combo("Refresh Mode", &Settings::refreshMode, "Unlimited\0V-Sync\0");

    const std::vector<MonitorMode>& modes = modesOfMonitor(Settings::monitorModes, Settings::monitorIndex);
    size_t shown = buildResolutionItems(modes, videoModeText, VideoModeTextSize);
    Settings::resolutionIndex = std::clamp(Settings::resolutionIndex, 0, static_cast<i32>(shown));
    if (fullscreen) {
        ImGui::Combo("Resolution", &Settings::resolutionIndex, videoModeText);
    }
    if (fullscreen && Settings::resolutionIndex >= 1) {
        const MonitorMode& mode = modes[static_cast<size_t>(Settings::resolutionIndex - 1)];
        shown = buildRefreshItems(mode, videoModeText, VideoModeTextSize);
        Settings::refreshIndex = std::clamp(Settings::refreshIndex, 0, static_cast<i32>(shown));
        ImGui::Combo("Refresh rate", &Settings::refreshIndex, videoModeText);
    }
    ImGui::EndChild();
}

} // namespace Ui
