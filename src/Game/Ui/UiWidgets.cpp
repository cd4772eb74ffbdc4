#include "Game/Ui/UiWidgets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Ui {

void beginFixedWindow(const char* name, f32 width, f32 height)
{
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    ImGui::SetNextWindowPos(ImVec2(display.x * 0.5f, display.y * 0.5f), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(width, std::max(height, 0.0f))); // height 0: fit the contents
    ImGui::Begin(name, nullptr, UiLayout::FixedWindowFlags);
}

bool menuButton(const char* label)
{
    return ImGui::Button(label, ImVec2(ImGui::GetContentRegionAvail().x, UiLayout::MenuButtonHeight));
}

void textCentred(const char* text)
{
    f32 offset = (ImGui::GetContentRegionAvail().x - ImGui::CalcTextSize(text).x) * 0.5f;
    ImGui::SetCursorPosX(ImGui::GetCursorPosX() + std::max(0.0f, offset));
    ImGui::TextUnformatted(text);
}

ImVec4 timeBarColour(f32 fraction)
{
    if (fraction < 0.75f) {
        return UiColours::WithinBudget;
    }
    if (fraction < 1.0f) {
        return UiColours::NearBudget;
    }
    return UiColours::OverBudget;
}

void drawTimeBar(f32 timeMs)
{
    f32 fraction = timeMs / UiLayout::FrameBudgetMs;
    char text[64];
    std::snprintf(text, sizeof(text), "%.2f / %.2fms", timeMs, UiLayout::FrameBudgetMs);
    ImGui::TextUnformatted("Simulation time:");
    ImGui::PushStyleColor(ImGuiCol_PlotHistogram, timeBarColour(fraction));
    ImGui::ProgressBar(std::min(fraction, 1.0f), ImVec2(-1.0f, 0.0f), text);
    ImGui::PopStyleColor();
}

i32 framerateOf(f32 smoothedFrameTimeMs)
{
    if (!(smoothedFrameTimeMs > 0.0f)) {
        return 0;
    }
    f64 rate = std::round(1000.0 / static_cast<f64>(smoothedFrameTimeMs));
    return rate < 2147483647.0 ? static_cast<i32>(rate) : 2147483647;
}

} // namespace Ui
