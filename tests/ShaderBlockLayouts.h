#pragma once

// The uniform blocks the game's shaders declare, each once: its type name and its
// members in declaration order (paddings included) at the byte offsets of the C++
// fields that fill them. With a check of a compiled shader's block against one of them.
// For the unit tests: the shaders are read from the run directory.

#include "SpirvReflect.h"

#include "Engine/Camera/CameraMath.h"
#include "Game/Session/BuildingManager.h"
#include "World/Shadow/ShadowRenderer.h"
#include "World/Sky/Skybox.h"
#include "World/Water/Water.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

struct BlockMember {
    const char* name;
    uint32_t offset;
};

struct BlockLayout {
    const char* typeName;
    std::vector<BlockMember> members;
};

// A member whose shader name is the C++ field's own.
#define BLOCK_FIELD(type, field) BlockMember{#field, offsetof(type, field)}

inline const BlockLayout CameraBlockLayout = {
    "CameraBlock",
    {BLOCK_FIELD(CameraUniforms, viewProjection), BLOCK_FIELD(CameraUniforms, position),
     BLOCK_FIELD(CameraUniforms, reserved0), BLOCK_FIELD(CameraUniforms, forward),
     BLOCK_FIELD(CameraUniforms, reserved1), BLOCK_FIELD(CameraUniforms, nearPlane),
     BLOCK_FIELD(CameraUniforms, farPlane)},
};

inline const BlockLayout SkyParamsBlockLayout = {
    "SkyParamsBlock",
    {BLOCK_FIELD(SkyboxParams, sunDirection),
     {"reserved0", offsetof(SkyboxParams, pad0)},
     BLOCK_FIELD(SkyboxParams, sunColor),
     {"reserved1", offsetof(SkyboxParams, pad1)},
     BLOCK_FIELD(SkyboxParams, rgbScatter),
     {"reserved2", offsetof(SkyboxParams, pad2)},
     BLOCK_FIELD(SkyboxParams, planetRadius),
     BLOCK_FIELD(SkyboxParams, atmosphereThickness),
     BLOCK_FIELD(SkyboxParams, atmosphereAveragePoint),
     BLOCK_FIELD(SkyboxParams, atmosphereDensity),
     BLOCK_FIELD(SkyboxParams, rayleighIntensity),
     BLOCK_FIELD(SkyboxParams, mieIntensity),
     BLOCK_FIELD(SkyboxParams, mieFactor),
     BLOCK_FIELD(SkyboxParams, exposure),
     BLOCK_FIELD(SkyboxParams, mainRaySteps),
     BLOCK_FIELD(SkyboxParams, subScatterSteps)},
};

// The optimised shaders' 12-byte sun direction.
inline const BlockLayout SunBlockLayout = {"SunBlock", {{"sunDirection", 0}}};

inline const BlockLayout ShadowBlockLayout = {
    "ShadowBlock",
    {BLOCK_FIELD(ShadowUniforms, lightViewProjection), BLOCK_FIELD(ShadowUniforms, reserved0),
     BLOCK_FIELD(ShadowUniforms, bias), BLOCK_FIELD(ShadowUniforms, reserved1),
     BLOCK_FIELD(ShadowUniforms, splitExponent)},
};

inline const BlockLayout WaterParamsBlockLayout = {
    "WaterParamsBlock",
    {BLOCK_FIELD(WaterParams, inverseViewProjection),
     BLOCK_FIELD(WaterParams, rgbScatter),
     BLOCK_FIELD(WaterParams, pad0),
     BLOCK_FIELD(WaterParams, rgbAbsorption),
     BLOCK_FIELD(WaterParams, pad1),
     BLOCK_FIELD(WaterParams, prepassScale),
     BLOCK_FIELD(WaterParams, absorptionFactor),
     BLOCK_FIELD(WaterParams, time),
     BLOCK_FIELD(WaterParams, timeMultiplier),
     BLOCK_FIELD(WaterParams, sizeScaling),
     BLOCK_FIELD(WaterParams, heightScaling),
     BLOCK_FIELD(WaterParams, iterations),
     BLOCK_FIELD(WaterParams, offsetWeight),
     BLOCK_FIELD(WaterParams, heightWeight),
     BLOCK_FIELD(WaterParams, phaseWeight),
     BLOCK_FIELD(WaterParams, speedWeight),
     BLOCK_FIELD(WaterParams, dxMul),
     BLOCK_FIELD(WaterParams, density),
     BLOCK_FIELD(WaterParams, depth),
     BLOCK_FIELD(WaterParams, refractiveStrength),
     BLOCK_FIELD(WaterParams, mainRaySteps)},
};

inline const BlockLayout WaterOptBlockLayout = {
    "WaterOptBlock",
    {BLOCK_FIELD(WaterOptParams, inverseViewProjection), BLOCK_FIELD(WaterOptParams, prepassScale),
     BLOCK_FIELD(WaterOptParams, time)},
};

// A tool preview's part, as the previews write it into the building manager's slot.
inline const BlockLayout PreviewBlockLayout = {
    "PreviewBlock",
    {BLOCK_FIELD(PreviewBlock, model), BLOCK_FIELD(PreviewBlock, color)},
};

#undef BLOCK_FIELD

// A building's or tower part's model matrix: the first 64 bytes of its slot in the
// instance storage.
inline const BlockLayout InstanceBlockLayout = {"InstanceBlock", {{"model", 0}}};

// One model matrix per instance of an instanced draw (enemies; the shadow casters,
// whose single-instance draws of buildings read the first), 64 bytes apart.
inline const BlockLayout InstancesBlockLayout = {"InstancesBlock", {{"models", 0}}};

// A terrain chunk's model matrix, as the terrain writes it into the chunk's slot.
inline const BlockLayout ChunkBlockLayout = {"ChunkBlock", {{"model", 0}}};

// The sky cube's model matrix, which keeps it around the camera.
inline const BlockLayout PlacementBlockLayout = {"PlacementBlock", {{"model", 0}}};

// The final pass's 4-byte outline flag that World::draw writes.
inline const BlockLayout PostProcessBlockLayout = {"PostProcessBlock", {{"outlineFlag", 0}}};

// The smoke records that PcSmoke::drawAll writes, 80 bytes per puff (SmokeRecord).
inline const BlockLayout SmokeBlockLayout = {"SmokeBlock", {{"puffs", 0}}};

// A block a shader must hold at (set, binding).
struct ExpectedBlock {
    uint32_t set;
    uint32_t binding;
    const BlockLayout* layout;
};

// A shader by its file name under shaders/ (without ".spv") and the blocks its
// pipeline's descriptor layout gives it.
struct ShaderBlocks {
    const char* shader;
    std::vector<ExpectedBlock> blocks;
};

inline std::string shaderPath(const std::string& name)
{
    return std::string(BRACKENHOLD_RUN_DIR) + "/shaders/" + name + ".spv";
}

// Every build compiles the shaders; the tests that read them skip where they are missing.
inline bool shaderBuilt(const std::string& name)
{
    return std::filesystem::exists(shaderPath(name));
}

// Whether the shader `name` holds a block at (set, binding) with the type name of
// `layout` and its members, in its order, at its offsets. A failure lists every
// difference.
inline ::testing::AssertionResult blockMatches(const std::string& name, uint32_t set, uint32_t binding,
                                               const BlockLayout& layout)
{
    std::optional<SpirvBlock> block = spirvBlockAt(shaderPath(name), set, binding);
    if (!block) {
        return ::testing::AssertionFailure()
               << name << ": no " << layout.typeName << " at set " << set << " binding " << binding;
    }
    std::ostringstream differences;
    if (block->typeName != layout.typeName) {
        differences << " type " << block->typeName << ", expected " << layout.typeName << ";";
    }
    if (block->members.size() != layout.members.size()) {
        differences << " " << block->members.size() << " members, expected " << layout.members.size() << ";";
    }
    for (size_t m = 0; m < block->members.size() && m < layout.members.size(); m++) {
        const SpirvMember& member = block->members[m];
        const BlockMember& expected = layout.members[m];
        if (member.name != expected.name || member.offset != expected.offset) {
            differences << " member " << m << " is " << member.name << " at " << member.offset << ", expected "
                        << expected.name << " at " << expected.offset << ";";
        }
    }
    if (differences.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << name << ", set " << set << " binding " << binding << ":"
                                         << differences.str();
}
