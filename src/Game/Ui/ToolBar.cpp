#include "Engine/Image/Image.h"
#include "Engine/Settings/Settings.h"
#include "Game/Enemies/Enemy.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Tools/ToolState.h"
#include "Game/Ui/PanelLayout.h"
#include "Game/Ui/Ui.h"
#include "Game/Ui/UiTextures.h"
#include "Game/Ui/UiWidgets.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <cstdio>

namespace Ui {

namespace {

using namespace PanelLayout;

// An image button showing cell (column, row) of a sheet whose cells measure `uvCell`
// in texture coordinates, with an id of its own (the library takes the id from the
// texture, which the buttons of one sheet share).
bool sheetButton(int id, ImTextureID texture, ImVec2 uvCell, f32 column, f32 row, f32 size, int frame)
{
    const ImVec2 uv0(column * uvCell.x, row * uvCell.y);
    const ImVec2 uv1((column + 1.0f) * uvCell.x, (row + 1.0f) * uvCell.y);
    ImGui::PushID(id);
    const bool clicked = ImGui::ImageButton(texture, ImVec2(size, size), uv0, uv1, frame);
    ImGui::PopID();
    return clicked;
}

// A cell of `cellPixels` in texture coordinates of `sheet` (a sheet that is not loaded,
// as in headless tests, counts as one cell).
ImVec2 uvCellOf(const Image2D* sheet, f32 cellPixels)
{
    if (sheet == nullptr || sheet->extent.width == 0 || sheet->extent.height == 0) return ImVec2(1.0f, 1.0f);
    return ImVec2(cellPixels / static_cast<f32>(sheet->extent.width),
                  cellPixels / static_cast<f32>(sheet->extent.height));
}

// Hovered long enough for the tool bar's tooltips (the library has no hover delay).
bool hoveredAfterDelay()
{
    return ImGui::IsItemHovered() && GImGui->HoveredIdTimer >= HoverDelaySeconds;
}

void tooltip(const char* text)
{
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(TooltipPadding, TooltipPadding));
    ImGui::BeginTooltip();
    ImGui::TextUnformatted(text);
    ImGui::EndTooltip();
    ImGui::PopStyleVar();
}

// The tool-bar windows: no title, fixed, no padding, in the menu bar's colour.
void beginToolBarWindow(const char* id, f32 left, f32 size)
{
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    const f32 margin = static_cast<f32>(toolBarTextures->margin);
    ImGui::SetNextWindowPos(ImVec2(margin + left, display.y - margin - size));
    ImGui::SetNextWindowSize(ImVec2(size, size));
    ImGui::PushStyleColor(ImGuiCol_WindowBg, ImGui::GetStyle().Colors[ImGuiCol_MenuBarBg]);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0.0f, 0.0f));
    ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(0.0f, 0.0f));
    // Appearing (after a wave, or with cheats switched on) they take no focus: focus
    // elsewhere would close the building detail pop-up.
    ImGui::Begin(id, nullptr, UiLayout::FixedWindowFlags | ImGuiWindowFlags_NoFocusOnAppearing);
}

u32 endToolBarWindow(u32 left, f32 size)
{
    ImGui::End();
    ImGui::PopStyleVar(2);
    ImGui::PopStyleColor();
    return toolBarTextures->margin + left + static_cast<u32>(size);
}

// The logo cell of a kind on the categories sheet: column logo x + 1, row logo y.
ImVec2 logoCell(const LogoIndex& logo)
{
    return ImVec2(static_cast<f32>(logo.x + 1), static_cast<f32>(logo.y));
}

// The logo of item `index` of `category`; false when there is no such item or it has
// no logo to show.
bool itemLogo(u32 category, u32 index, ImVec2& cell)
{
    if (index >= toolBarItemCount(category)) return false;
    if (category == ToolCategoryBuildings) {
        const Building* kind = buildingTypes[index];
        if (kind == nullptr || !kind->inToolBar) return false;
        cell = logoCell(kind->logoIndex);
        return true;
    }
    const Enemy* kind = enemyTypes[index];
    if (kind == nullptr) return false;
    cell = logoCell(kind->logoIndex);
    return true;
}

// One of the sell, repair and upgrade windows.
u32 drawToolWindow(ToolBarTextures& textures, const char* id, u32 left, u32 row, u32 mode, const char* label)
{
    beginToolBarWindow(id, static_cast<f32>(left), ToolWindow);
    const f32 column = toolMode == mode ? 1.0f : 0.0f;
    if (sheetButton(static_cast<int>(row), textures.toolsTexture, uvCellOf(textures.tools, ToolCell), column,
                    static_cast<f32>(row), ToolButton, ButtonFrame)) {
        toolMode = toolMode == mode ? ToolModeNone : mode;
    }
    if (hoveredAfterDelay()) tooltip(label);
    return endToolBarWindow(left, ToolWindow);
}

} // namespace

u32 toolBarItemCount(u32 category)
{
    switch (category) {
    case ToolCategoryBuildings: return 5;
    case ToolCategoryEnemies: return 2;
    default: return 0;
    }
}

void drawToolBarPopup(ToolBarTextures& textures, u32 category, ImVec2 uvCell)
{
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    const f32 margin = static_cast<f32>(textures.margin);
    char id[32];
    std::snprintf(id, sizeof(id), "##TBCP%u", category);
    ImGui::SetNextWindowPos(ImVec2(margin, display.y - 2.0f * margin - PopupAbove));
    ImGui::SetNextWindowSize(ImVec2(PopupWidth, PopupHeight));
    if (!ImGui::BeginPopupContextItem(id, ImGuiPopupFlags_MouseButtonLeft)) return;
    int shown = 0;
    for (u32 i = 0; i < toolBarItemCount(category); i++) {
        ImVec2 cell;
        if (!itemLogo(category, i, cell)) continue;
        ImGui::SetCursorPos(ImVec2(PopupItem * static_cast<f32>(shown % PopupColumns),
                                   PopupItem * static_cast<f32>(shown / PopupColumns)));
        shown++;
        if (sheetButton(PopupItemIdBase + static_cast<int>(i), textures.categoriesTexture, uvCell, cell.x, cell.y,
                        PopupItem, 0)) {
            toolSelection = {category, i};
            toolMode = ToolModePlace;
            ImGui::CloseCurrentPopup();
        }
        if (category == ToolCategoryBuildings && hoveredAfterDelay()) {
            ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(TooltipPadding, TooltipPadding));
            ImGui::BeginTooltip();
            buildingTypes[i]->drawToolLabel();
            ImGui::EndTooltip();
            ImGui::PopStyleVar();
        }
    }
    ImGui::EndPopup();
}

u32 drawToolBarCategory(ToolBarTextures& textures, u32 category, const char* windowId, u32 left)
{
    beginToolBarWindow(windowId, static_cast<f32>(left), CategoryWindow);
    // The category's icon, or the logo of what it is placing now.
    ImVec2 cell(0.0f, static_cast<f32>(category));
    if (toolMode == ToolModePlace && toolSelection.category == category) {
        ImVec2 selected;
        if (itemLogo(category, toolSelection.index, selected)) cell = selected;
    }
    const ImVec2 uvCell = uvCellOf(textures.categories, CategoryCell);
    sheetButton(static_cast<int>(category), textures.categoriesTexture, uvCell, cell.x, cell.y, CategoryButton,
                ButtonFrame);
    if (hoveredAfterDelay()) tooltip(category == ToolCategoryBuildings ? "Buildings" : "[Cheatmode] Enemies");
    drawToolBarPopup(textures, category, uvCell);
    return endToolBarWindow(left, CategoryWindow);
}

u32 drawSellTool(ToolBarTextures& textures, u32 left)
{
    return drawToolWindow(textures, "DTool", left, 0, ToolModeSell, "Sell");
}

u32 drawRepairTool(ToolBarTextures& textures, u32 left)
{
    return drawToolWindow(textures, "RTool", left, 1, ToolModeRepair, "Repair");
}

u32 drawUpgradeTool(ToolBarTextures& textures, u32 left)
{
    return drawToolWindow(textures, "UTool", left, 2, ToolModeUpgrade, "Upgrade");
}

void drawToolBar()
{
    ToolBarTextures& textures = *toolBarTextures;
    u32 left = drawToolBarCategory(textures, ToolCategoryBuildings, "TBC0", 0);
    if (Settings::cheatsEnabled) left = drawToolBarCategory(textures, ToolCategoryEnemies, "TBC1", left);
    left = drawSellTool(textures, left);
    left = drawRepairTool(textures, left);
    drawUpgradeTool(textures, left);
}

} // namespace Ui
