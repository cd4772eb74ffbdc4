#include "Engine/Engine.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Window/Input.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/Session/BuildingPrices.h"
#include "Game/Session/Economy.h"
#include "Game/Session/GameSession.h"
#include "Game/Session/Money.h"
#include "Game/Tools/ToolState.h"
#include "Game/Ui/EscapeKey.h"
#include "Game/Ui/PanelLayout.h"
#include "Game/Ui/Ui.h"
#include "Game/Ui/UiWidgets.h"
#include "World/World.h"

#include <imgui.h>

#include <string>

namespace Ui {

namespace {

const ImVec4 HealthColour{0.2f, 0.7f, 0.2f, 1.0f};
const ImVec4 UnaffordableColour{1.0f, 0.0f, 0.0f, 1.0f};

void sectionBreak()
{
    ImGui::Spacing();
    ImGui::Separator();
    ImGui::Spacing();
}

void heading(const char* text)
{
    ImGui::PushFont(fontMedium);
    ImGui::TextUnformatted(text);
    ImGui::PopFont();
}

// A priced button, its text red while the price cannot be paid; true when clicked.
bool pricedButton(const char* action, i64 price, bool affordable)
{
    const std::string label = std::string(action) + " (" + std::to_string(price) + "$)";
    if (!affordable) ImGui::PushStyleColor(ImGuiCol_Text, UnaffordableColour);
    const bool clicked = ImGui::Button(label.c_str());
    if (!affordable) ImGui::PopStyleColor();
    return clicked;
}

void releaseSelection()
{
    buildingSelection.instance.reset();
    buildingSelection.openRequest = false;
}

// The pop-up closes with the selection it shows.
void closeDetail()
{
    releaseSelection();
    if (ImGui::BeginPopup("BuildingDetail")) {
        ImGui::CloseCurrentPopup();
        ImGui::EndPopup();
    }
}

} // namespace

void drawBuildingDetail()
{
    if (world == nullptr || gameSession == nullptr || buildingSelection.instance == nullptr) return;
    // The selection is held until here: a building that went, or Escape, lets it go.
    BuildingInstance& building = *buildingSelection.instance;
    if (building.destroyed.load() || takeEscapePress(*Engine::input, "building detail")) {
        closeDetail();
        return;
    }
    if (buildingSelection.openRequest) {
        buildingSelection.openRequest = false;
        ImGui::OpenPopup("BuildingDetail");
    }
    // At the screen's centre, 300 px wide and as high as its contents: placed by its
    // centre, so that it stays there as its height settles.
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    ImGui::SetNextWindowPos(ImVec2(display.x * 0.5f, display.y * 0.5f), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(PanelLayout::DetailWidth, 0.0f));
    if (!ImGui::BeginPopup("BuildingDetail", ImGuiWindowFlags_NoMove)) {
        // Closed by a click elsewhere: nothing holds the building any more.
        releaseSelection();
        return;
    }

    Building& kind = *building.kind;
    const BuildingStanding standing = standingOf(building);
    const BuildingPrices prices = pricesOf(standing);
    const i64 money = gameSession->money->load();
    const bool cheats = Settings::cheatsEnabled != 0;

    ImGui::PushFont(fontLarge);
    const std::string title = kind.config.name + " [Lvl. " + std::to_string(standing.level + 1) + "]";
    ImGui::TextUnformatted(title.c_str());
    ImGui::PopFont();
    sectionBreak();

    const std::string health = "Health: " + std::to_string(standing.health) + " / " + std::to_string(standing.maxHealth);
    ImGui::PushStyleColor(ImGuiCol_PlotHistogram, HealthColour);
    ImGui::ProgressBar(static_cast<f32>(standing.health) / static_cast<f32>(standing.maxHealth), ImVec2(-1.0f, 0.0f),
                       health.c_str());
    ImGui::PopStyleColor();

    sectionBreak();
    heading("Stats");
    kind.drawInfo(static_cast<i32>(standing.level));

    // Buildings change only between waves.
    if (!gameSession->waveState->active.load(std::memory_order_acquire)) {
        sectionBreak();
        heading("Upgrades");
        if (!prices.canUpgrade) {
            ImGui::TextColored(UiColours::Warning, "Max level already reached!");
        } else {
            kind.drawInfo(static_cast<i32>(standing.level + 1));
            if (pricedButton("Upgrade", prices.upgradeCost, canAfford(prices.upgradeCost, money, cheats))) {
                Economy::upgrade(building, *gameSession->money, cheats);
            }
        }
        if (prices.canSell) {
            sectionBreak();
            if (pricedButton("Sell", prices.salePrice, true)) Economy::sell(building, *gameSession->money);
            ImGui::SameLine();
        }
        if (prices.canRepair) {
            if (pricedButton("Repair", prices.repairCost, canAfford(prices.repairCost, money, cheats))) {
                Economy::repair(building, *gameSession->money, cheats);
            }
        }
    }

    ImGui::EndPopup();
}

} // namespace Ui
