#include "Game/Ui/Ui.h"
#include "Game/Ui/UiWidgets.h"

#include <imgui.h>

namespace Ui {

void drawLoadingWindow()
{
    const LoadingProgress& progress = *loadingProgress;
    u32 stageCount = progress.stageCount.load();
    f32 stages = stageCount > 0 ? static_cast<f32>(progress.currentStage.load()) / stageCount : 0.0f;
    const char* text = progress.stageText.load();
    if (text == nullptr) text = "";
    const std::atomic<f32>* live = progress.liveStageProgress.load();
    f32 stageDone = live != nullptr ? live->load(std::memory_order_relaxed) : progress.stageProgress.load();

    // Its height follows from its fixed contents (the title and two bars), so that the
    // window shows in the very frame after "New Game", the first time as every time.
    const ImGuiStyle& style = ImGui::GetStyle();
    const f32 height = style.WindowPadding.y * 2.0f + fontLarge->FontSize + style.ItemSpacing.y * 2.0f +
                       ImGui::GetFrameHeight() * 2.0f;
    beginFixedWindow("Loading", UiLayout::MenuWidth, height);
    ImGui::PushFont(fontLarge);
    textCentred("Loading World");
    ImGui::PopFont();
    ImGui::ProgressBar(stages, ImVec2(-1.0f, 0.0f), text);
    ImGui::ProgressBar(stageDone, ImVec2(-1.0f, 0.0f));
    ImGui::End();
}

} // namespace Ui
