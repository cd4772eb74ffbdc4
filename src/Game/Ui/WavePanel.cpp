#include "Game/Enemies/EnemyInstance.h"
#include "Game/Session/GameSession.h"
#include "Game/Ui/Ui.h"
#include "Game/Ui/UiWidgets.h"

#include <imgui.h>

#include <string>

namespace Ui {

namespace {

// The panel hangs in the top right corner.
constexpr f32 WavePanelWidth = 200.0f;

} // namespace

void drawWavePanel()
{
    if (currentMenuState() != MenuStateInGame || gameSession == nullptr) return;
    WaveState& wave = *gameSession->waveState;
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    ImGui::SetNextWindowPos(ImVec2(display.x - WavePanelWidth, 0.0f));
    ImGui::SetNextWindowSize(ImVec2(WavePanelWidth, 0.0f));
    ImGui::Begin("##sessionUiWave", nullptr, UiLayout::FixedWindowFlags);
    ImGui::PushFont(fontMedium);
    if (wave.active.load(std::memory_order_acquire)) {
        ImGui::Text("Current wave: %d", wave.wave.load());
        ImGui::Separator();
        ImGui::PushFont(fontSmall);
        ImGui::Text("Remaining enemies: %d", aliveEnemyCount.load());
        ImGui::PopFont();
    } else {
        const std::string label = "Start wave " + std::to_string(wave.wave.load());
        if (ImGui::Button(label.c_str())) {
            gameSession->startWave();
        }
    }
    ImGui::PopFont();
    ImGui::End();
}

} // namespace Ui
