#include "SpirvReflect.h"

#include "Engine/Camera/Camera.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>

namespace {

std::string shaderPath(const char* name)
{
    return std::string(BRACKENHOLD_RUN_DIR) + "/shaders/" + name + ".spv";
}

} // namespace

// The camera block that every world shader declares must match the camera's own
// 104-byte layout.
TEST(ShaderBlocks, CameraBlockMatchesTheCamera)
{
    std::string path = shaderPath("physicsDebugVert");
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "shaders are not built in this configuration";
    std::optional<SpirvBlock> block = spirvBlockAt(path, 0, 0);
    ASSERT_TRUE(block.has_value());
    EXPECT_EQ(block->typeName, "CameraBlock");
    EXPECT_EQ(block->offsetOf("viewProjection"), 0u);
    EXPECT_EQ(block->offsetOf("position"), 64u);
    EXPECT_EQ(block->offsetOf("forward"), 80u);
    EXPECT_EQ(block->offsetOf("nearPlane"), 96u);
    EXPECT_EQ(block->offsetOf("farPlane"), 100u);
    EXPECT_EQ(sizeof(CameraUniforms), 104u);
}
