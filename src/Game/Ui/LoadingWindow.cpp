#include "Game/Ui/Ui.h"
#include "Game/Ui/UiWidgets.h"

#include <imgui.h>

namespace Ui {

void drawLoadingWindow()
{
    const LoadingProgress& progress = *loadingProgress;
    f32 stages = progress.stageCount > 0 ? static_cast<f32>(progress.currentStage) / progress.stageCount : 0.0f;
    const char* text = progress.stageText != nullptr ? progress.stageText : "";

    beginFixedWindow("Loading", UiLayout::MenuWidth);
    ImGui::PushFont(fontLarge);
    textCentred("Loading World");
    ImGui::PopFont();
    ImGui::ProgressBar(stages, ImVec2(-1.0f, 0.0f), text);
    ImGui::ProgressBar(progress.stageProgress, ImVec2(-1.0f, 0.0f));
    ImGui::End();
}

} // namespace Ui
