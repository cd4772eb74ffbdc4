#include "Game/Ui/HealthBar.h"

#include <imgui.h>

#include <cmath>

namespace {

constexpr f32 FrameHalfWidth = 26.0f;
constexpr f32 FrameHalfHeight = 5.0f;
constexpr f32 BarInset = 23.0f;    // the bar starts this far left of the point
constexpr f32 BarLength = 46.0f;   // at full health
constexpr f32 BarHalfHeight = 2.0f;
constexpr f32 MinBarLength = 0.5f; // shorter bars are left out

} // namespace

HealthBarRects healthBarRects(glm::vec3 screenPoint, f32 fraction, glm::vec2 screenSize)
{
    HealthBarRects rects;
    const bool onScreen = screenPoint.x >= 0.0f && screenPoint.x < screenSize.x && screenPoint.y >= 0.0f &&
                          screenPoint.y < screenSize.y && screenPoint.z >= 0.0f && screenPoint.z <= 1.0f;
    if (!onScreen) return rects;
    rects.visible = true;
    const f32 x = std::trunc(screenPoint.x);
    const f32 y = std::trunc(screenPoint.y);
    rects.frameMin = {x - FrameHalfWidth, y - FrameHalfHeight};
    rects.frameMax = {x + FrameHalfWidth, y + FrameHalfHeight};
    const f32 length = fraction * BarLength;
    if (length > MinBarLength) {
        rects.filled = true;
        rects.barMin = {x - BarInset, y - BarHalfHeight};
        rects.barMax = {x - BarInset + length, y + BarHalfHeight};
    }
    return rects;
}

void drawHealthBar(ImDrawList* list, glm::vec3 screenPoint, f32 fraction, const ImVec4& colour)
{
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    const HealthBarRects rects = healthBarRects(screenPoint, fraction, {display.x, display.y});
    if (!rects.visible) return;
    list->AddRectFilled({rects.frameMin.x, rects.frameMin.y}, {rects.frameMax.x, rects.frameMax.y},
                        ImGui::GetColorU32(ImVec4(0.5f, 0.5f, 0.5f, 0.5f)));
    if (rects.filled) {
        list->AddRectFilled({rects.barMin.x, rects.barMin.y}, {rects.barMax.x, rects.barMax.y},
                            ImGui::GetColorU32(colour));
    }
}
