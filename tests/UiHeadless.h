#pragma once

// The interface library without a renderer or a window: one context for the whole test
// run, as in the game (it lives until the process ends), with the game's fonts in a
// built atlas.

#include "Game/Ui/Ui.h"

#include <imgui.h>

inline constexpr const char* DebianFont = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Medium.ttf";

inline ImGuiContext* headlessUiContext()
{
    static ImGuiContext* context = [] {
        ImGuiContext* created = ImGui::CreateContext();
        ImGui::GetIO().IniFilename = nullptr;
        Ui::addFonts(DebianFont);
        return created;
    }();
    return context;
}
