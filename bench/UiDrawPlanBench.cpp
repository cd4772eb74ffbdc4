#include "Engine/Ui/UiDrawPlan.h"

#include <benchmark/benchmark.h>
#include <imgui.h>

#include <memory>
#include <vector>

namespace {

// A busy interface frame: `lists` windows of 40 commands with 24 quads each, the
// textures alternating every few commands and some commands clipped away.
struct BusyFrame {
    std::vector<std::unique_ptr<ImDrawList>> lists;
    std::vector<ImDrawList*> pointers;
    ImDrawData data;
    int textures[3] = {};

    explicit BusyFrame(int listCount)
    {
        for (int n = 0; n < listCount; n++) {
            lists.push_back(std::make_unique<ImDrawList>(nullptr));
            ImDrawList* list = lists.back().get();
            for (int c = 0; c < 40; c++) {
                ImDrawCmd command;
                float x = static_cast<float>((c * 37) % 1900);
                command.ClipRect = c % 13 == 0 ? ImVec4(2000, 0, 2100, 50) : ImVec4(x, 10, x + 200, 400);
                command.TextureId = c % 5 == 0 ? &textures[c % 3] : nullptr;
                command.IdxOffset = static_cast<unsigned>(list->IdxBuffer.Size);
                command.ElemCount = 24 * 6;
                for (int q = 0; q < 24; q++) {
                    auto base = static_cast<ImDrawIdx>(list->VtxBuffer.Size);
                    for (int v = 0; v < 4; v++) {
                        ImDrawVert vertex{};
                        vertex.pos = ImVec2(x + static_cast<float>(q), static_cast<float>(v));
                        list->VtxBuffer.push_back(vertex);
                    }
                    for (int i : {0, 1, 2, 0, 2, 3}) {
                        list->IdxBuffer.push_back(static_cast<ImDrawIdx>(base + i));
                    }
                }
                list->CmdBuffer.push_back(command);
            }
            pointers.push_back(list);
            data.TotalVtxCount += list->VtxBuffer.Size;
            data.TotalIdxCount += list->IdxBuffer.Size;
        }
        data.Valid = true;
        data.CmdLists = pointers.data();
        data.CmdListsCount = listCount;
        data.DisplaySize = ImVec2(1920, 1080);
    }
};

void BM_PlanUiDraws(benchmark::State& state)
{
    BusyFrame frame(static_cast<int>(state.range(0)));
    std::vector<UiDraw> draws;
    int font = 0;
    for (auto _ : state) {
        planUiDraws(frame.data, 1920, 1080, &font, &draws);
        benchmark::DoNotOptimize(draws.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * 40);
}
BENCHMARK(BM_PlanUiDraws)->Arg(4)->Arg(32);

void BM_CopyUiGeometry(benchmark::State& state)
{
    BusyFrame frame(static_cast<int>(state.range(0)));
    std::vector<ImDrawVert> vertices(static_cast<size_t>(frame.data.TotalVtxCount));
    std::vector<unsigned> indices(static_cast<size_t>(frame.data.TotalIdxCount));
    for (auto _ : state) {
        copyUiGeometry(frame.data, vertices.data(), indices.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() *
                            (frame.data.TotalVtxCount * 20 + frame.data.TotalIdxCount * 4));
}
BENCHMARK(BM_CopyUiGeometry)->Arg(4)->Arg(32);

} // namespace
