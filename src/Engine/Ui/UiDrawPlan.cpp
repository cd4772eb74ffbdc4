#include "Engine/Ui/UiDrawPlan.h"

#include <imgui.h>

#include <algorithm>
#include <cstring>

static_assert(sizeof(ImDrawVert) == 20, "the interface vertex layout is 20 bytes");

bool clipToWindow(f32 x1, f32 y1, f32 x2, f32 y2, f32 windowWidth, f32 windowHeight, UiScissor* scissor)
{
    x1 = std::max(0.0f, x1);
    y1 = std::max(0.0f, y1);
    x2 = std::min(windowWidth, x2);
    y2 = std::min(windowHeight, y2);
    if (x1 >= x2 || y1 >= y2) {
        return false;
    }
    scissor->x = static_cast<i32>(x1);
    scissor->y = static_cast<i32>(y1);
    scissor->width = static_cast<u32>(x2 - x1);
    scissor->height = static_cast<u32>(y2 - y1);
    return true;
}

void planUiDraws(const ImDrawData& data, f32 windowWidth, f32 windowHeight, void* fontTexture,
                 std::vector<UiDraw>* draws)
{
    draws->clear();
    void* bound = nullptr;
    u32 vertexStart = 0;
    u32 indexStart = 0;
    for (int n = 0; n < data.CmdListsCount; n++) {
        const ImDrawList* list = data.CmdLists[n];
        for (const ImDrawCmd& command : list->CmdBuffer) {
            if (command.UserCallback != nullptr) {
                continue;
            }
            void* texture = command.TextureId != nullptr ? command.TextureId : fontTexture;
            UiDraw draw;
            if (texture == nullptr || !clipToWindow(command.ClipRect.x, command.ClipRect.y, command.ClipRect.z,
                                                    command.ClipRect.w, windowWidth, windowHeight, &draw.scissor)) {
                continue;
            }
            draw.texture = texture;
            draw.bindTexture = texture != bound;
            bound = texture;
            draw.indexCount = command.ElemCount;
            draw.firstIndex = indexStart + command.IdxOffset;
            draw.vertexOffset = static_cast<i32>(vertexStart + command.VtxOffset);
            draws->push_back(draw);
        }
        indexStart += static_cast<u32>(list->IdxBuffer.Size);
        vertexStart += static_cast<u32>(list->VtxBuffer.Size);
    }
}

void copyUiGeometry(const ImDrawData& data, void* vertices, u32* indices)
{
    u8* vertexOut = static_cast<u8*>(vertices);
    for (int n = 0; n < data.CmdListsCount; n++) {
        const ImDrawList* list = data.CmdLists[n];
        size_t bytes = static_cast<size_t>(list->VtxBuffer.Size) * sizeof(ImDrawVert);
        if (bytes > 0) {
            std::memcpy(vertexOut, list->VtxBuffer.Data, bytes);
        }
        vertexOut += bytes;
        for (ImDrawIdx index : list->IdxBuffer) {
            *indices++ = index;
        }
    }
}
