#include "Engine/Engine.h"
#include "Game/Intro/CameraPath.h"
#include "Game/Ui/Ui.h"
#include "Game/Ui/UiWidgets.h"

#include <imgui.h>

namespace Ui {

bool drawIntroHint()
{
    if (currentMenuState() != MenuStateInGame) return false;
    if (Engine::cameraPath == nullptr || !Engine::cameraPath->playing.load()) return false;
    // Enter itself is read by the flight.
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    ImGui::SetNextWindowPos(ImVec2(display.x * 0.5f - 100.0f, display.y - 52.0f));
    ImGui::SetNextWindowSize(ImVec2(200.0f, 36.0f));
    ImGui::Begin("##introSkip", nullptr, UiLayout::FixedWindowFlags);
    ImGui::PushFont(fontMedium);
    ImGui::TextUnformatted("Press Enter to skip Intro");
    ImGui::PopFont();
    ImGui::End();
    return true;
}

} // namespace Ui
