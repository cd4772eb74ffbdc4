#include "Game/Ui/MouseOwner.h"

#include "Game/Ui/UiState.h"

#include <imgui.h>
#include <imgui_internal.h>

namespace Ui {

bool pointerOverInterface(f32 x, f32 y)
{
    const ImGuiContext* context = ImGui::GetCurrentContext();
    if (context == nullptr) return false;
    const ImVec2 point(x, y);
    const ImVec2 edgePadding =
        context->IO.ConfigWindowsResizeFromEdges ? context->WindowsHoverPadding : context->Style.TouchExtraPadding;
    for (const ImGuiWindow* window : context->Windows) {
        // The library's implicit window of a frame is never shown unless written to;
        // inactive windows were not built in the frame.
        if (!window->Active || window->Hidden || window->IsFallbackWindow) continue;
        if ((window->Flags & ImGuiWindowFlags_NoMouseInputs) != 0) continue;
        ImRect bounds = window->OuterRectClipped;
        const bool resizable = (window->Flags & (ImGuiWindowFlags_ChildWindow | ImGuiWindowFlags_NoResize |
                                                 ImGuiWindowFlags_AlwaysAutoResize)) == 0;
        bounds.Expand(resizable ? edgePadding : context->Style.TouchExtraPadding);
        if (bounds.Contains(point)) return true;
    }
    return false;
}

void claimMouse(f32 x, f32 y)
{
    if (ImGui::GetCurrentContext() == nullptr) {
        uiOwnsMouse = 0;
        return;
    }
    uiOwnsMouse = (ImGui::IsAnyItemActive() || pointerOverInterface(x, y)) ? 1 : 0;
}

} // namespace Ui
