#include "Engine/Engine.h"
#include "Engine/Image/Image.h"
#include "Engine/Settings/Settings.h"
#include "Game/Session/GameSession.h"
#include "Game/Session/GameSpeed.h"
#include "Game/Ui/PanelLayout.h"
#include "Game/Ui/Ui.h"
#include "Game/Ui/UiTextures.h"
#include "Game/Ui/UiWidgets.h"

#include <imgui.h>

#include <string>

namespace Ui {

namespace {

using namespace PanelLayout;

// The speeds of the time controls, left to right, as the sheet's columns.
constexpr u32 TimeControlSpeeds[4] = {GameSpeedPaused, GameSpeedNormal, GameSpeedDouble, GameSpeedQuadruple};

// A session panel along the top edge, `width` wide and as high as its contents.
void beginTopPanel(const char* id, f32 left, f32 width)
{
    ImGui::SetNextWindowPos(ImVec2(left, 0.0f));
    ImGui::SetNextWindowSize(ImVec2(width, 0.0f));
    ImGui::Begin(id, nullptr, UiLayout::FixedWindowFlags);
}

void drawWallet()
{
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    beginTopPanel("##sessionUiWallet", display.x * 0.5f - WalletWidth * 0.5f, WalletWidth);
    ImGui::PushFont(fontMedium);
    if (Settings::cheatsEnabled) {
        ImGui::TextUnformatted("Money: infinite");
    } else {
        const std::string text = "Money: " + std::to_string(gameSession->money->load()) + "$";
        ImGui::TextUnformatted(text.c_str());
    }
    ImGui::PopFont();
    ImGui::End();
}

// The end dialog of a lost or won game: its title centred in the large font, the
// reason, then "Exit" (back to the main menu once this frame is done) and "Continue"
// (play on; the dialog does not come back).
void drawEndDialog(const char* popupId, const char* title, const char* text)
{
    if (!ImGui::IsPopupOpen(popupId)) ImGui::OpenPopup(popupId);
    if (!ImGui::BeginPopupModal(popupId, nullptr, ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoMove)) {
        return;
    }
    ImGui::PushFont(fontLarge);
    textCentred(title);
    ImGui::PopFont();
    ImGui::Spacing();
    ImGui::Separator();
    ImGui::Spacing();
    ImGui::TextUnformatted(text);
    if (ImGui::Button("Exit")) {
        ImGui::CloseCurrentPopup();
        clearMenuStates();
        leaveGameAfterFrame();
    }
    ImGui::SameLine();
    if (ImGui::Button("Continue")) {
        gameSession->state = SessionPlayingOn;
        ImGui::CloseCurrentPopup();
    }
    ImGui::EndPopup();
}

} // namespace

void drawTimeControls(TimeControlsTexture& texture)
{
    ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSize(ImVec2(TimeWindowWidth, TimeWindowHeight));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0.0f, 0.0f));
    ImGui::Begin("##sessionUiTime", nullptr, UiLayout::FixedWindowFlags);
    const Image2D* sheet = texture.image;
    const ImVec2 uvCell = sheet != nullptr && sheet->extent.width > 0
                              ? ImVec2(TimeCell / static_cast<f32>(sheet->extent.width),
                                       TimeCell / static_cast<f32>(sheet->extent.height))
                              : ImVec2(1.0f, 1.0f);
    const u32 current = gameSpeed();
    for (int column = 0; column < 4; column++) {
        const f32 row = TimeControlSpeeds[column] == current ? 1.0f : 0.0f;
        const f32 x = static_cast<f32>(column);
        ImGui::SetCursorPos(ImVec2(TimeIconInset + TimeIcon * x, TimeIconInset));
        ImGui::PushID(column);
        if (ImGui::ImageButton(texture.texture, ImVec2(TimeIcon, TimeIcon), ImVec2(x * uvCell.x, row * uvCell.y),
                               ImVec2((x + 1.0f) * uvCell.x, (row + 1.0f) * uvCell.y), 0)) {
            setGameSpeed(TimeControlSpeeds[column]);
        }
        ImGui::PopID();
    }
    ImGui::End();
    ImGui::PopStyleVar();
}

void drawSessionUi()
{
    if (currentMenuState() != MenuStateInGame || gameSession == nullptr) return;
    // While the intro flies only its hint shows.
    if (drawIntroHint()) return;
    drawWallet();
    drawTimeControls(*timeControlsTexture);
    drawWavePanel();
    const u32 state = gameSession->state.load();
    if (state == SessionLost) drawEndDialog("GameOver", "Game over", "Your main castle has been destroyed!");
    if (state == SessionWon) drawEndDialog("GameWon", "Victory", "You completed wave 15!");
}

} // namespace Ui
