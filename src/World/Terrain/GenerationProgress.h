#pragma once

#include "Engine/Types.h"

#include <atomic>
#include <functional>

// The texts of the six loading stages of a new terrain, shown as they stand.
namespace TerrainStageText {
constexpr const char* Initializing = "Initializing terrain";
constexpr const char* HeightMap = "Generating heighmap";
constexpr const char* Erosion = "Eroding terrain";
constexpr const char* Steps = "Creating terrain steps";
constexpr const char* PhysicsShapes = "Creating physics shapes";
constexpr const char* PhysicsBodies = "Creating physics bodies";
} // namespace TerrainStageText

// Where terrain generation reports how far it is. The loader points `beginStage` at
// its loading record (stage counter + 1, the text, progress 0); `fraction` is the
// share of the current stage done, written by the generating threads and read by the
// loading window.
struct GenerationProgress {
    std::function<void(const char* text)> beginStage;
    std::atomic<f32> fraction{0.0f};

    void begin(const char* text)
    {
        fraction.store(0.0f, std::memory_order_relaxed);
        if (beginStage) beginStage(text);
    }
    void set(f32 value) { fraction.store(value, std::memory_order_relaxed); }
};
