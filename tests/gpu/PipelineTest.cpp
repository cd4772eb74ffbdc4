#include "GpuTest.h"

#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Pipeline/Pipeline.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

namespace {

class PipelineTest : public GpuTest {
protected:
    Pipeline* pipeline = nullptr;

    void SetUp() override
    {
        GpuTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        pipeline = new Pipeline(Engine::graphicsDevice);
    }

    // Runs `body`, expecting a std::runtime_error; returns its message.
    static std::string errorOf(const std::function<void()>& body)
    {
        try {
            body();
        } catch (const std::runtime_error& error) {
            return error.what();
        }
        return "(no error)";
    }

    static std::string writeFile(const std::string& name, const std::string& bytes)
    {
        std::string path = (std::filesystem::temp_directory_path() / name).string();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path;
    }
};

} // namespace

TEST_F(PipelineTest, DefaultsAndRegistration)
{
    EXPECT_EQ(pipeline->typeId, ResourcePipeline);
    EXPECT_EQ(pipeline->deferredDelete, 1);
    ASSERT_NE(pipeline->state, nullptr);
    EXPECT_EQ(pipeline->state->cullMode, u32(VK_CULL_MODE_BACK_BIT));
    EXPECT_EQ(pipeline->state->topology, u32(VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST));
    EXPECT_EQ(pipeline->state->depthWriteEnable, 1);
    EXPECT_EQ(pipeline->state->depthBiasEnable, 0);
    EXPECT_TRUE(pipeline->state->dynamicStates.empty());
    EXPECT_EQ(Engine::graphicsDevice->resourceCount(ResourcePipeline), 1u);

    // Released pipelines wait for the end of the frame.
    Engine::graphicsDevice->releaseResource(pipeline);
    EXPECT_EQ(Engine::graphicsDevice->resourceCount(ResourcePipeline), 0u);
    EXPECT_EQ(Engine::graphicsDevice->deferredCount(), 1u);
    Engine::graphicsDevice->deleteDeferred();
    EXPECT_EQ(Engine::graphicsDevice->deferredCount(), 0u);
}

TEST_F(PipelineTest, BadShaderFilesStopWithTheirName)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(errorOf([&] { pipeline->loadShaderModule("shaders/noSuchVert.spv", &pipeline->vertexShader); }),
              "failed to open file!");
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("shaders/noSuchVert.spv"), std::string::npos) << printed;

    std::string empty = writeFile("brackenhold_emptyVert.spv", "");
    std::string text = writeFile("brackenhold_textVert.spv", "#version 450\nvoid main(){}\n...");
    std::string odd = writeFile("brackenhold_oddVert.spv", std::string("\x03\x02\x23\x07\x00", 5));
    for (const std::string& path : {empty, text, odd}) {
        std::string message = errorOf([&] { pipeline->loadShaderModule(path.c_str(), &pipeline->vertexShader); });
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_EQ(pipeline->vertexShader, VK_NULL_HANDLE) << "a bad file leaves the module unset";
        std::remove(path.c_str());
    }

    // A pipeline without its shaders is refused instead of handed to the driver.
    EXPECT_TRUE(pipeline->loadShaderModule("shaders/imguiVert.spv", &pipeline->vertexShader));
    std::string message = errorOf([&] { pipeline->create(AttachmentFormats{{VK_FORMAT_R8G8B8A8_UNORM}}); });
    EXPECT_NE(message.find("shaders/imguiVert.spv"), std::string::npos) << message;
    EXPECT_EQ(pipeline->pipeline, VK_NULL_HANDLE);
}

TEST_F(PipelineTest, AModuleTheValidatorRefusesNeverReachesTheDriver)
{
    // The header of a real shader, then words that mean nothing.
    std::ifstream real("shaders/imguiVert.spv", std::ios::binary);
    std::string bytes(20, '\0');
    real.read(bytes.data(), 20);
    u32 state = 7;
    for (int i = 0; i < 16384; i++) {
        state = state * 1664525u + 1013904223u;
        bytes.append(reinterpret_cast<const char*>(&state), 4);
    }
    std::string path = writeFile("brackenhold_garbageVert.spv", bytes);
    testing::internal::CaptureStdout();
    std::string message = errorOf([&] { pipeline->loadShaderModule(path.c_str(), &pipeline->vertexShader); });
    std::string printed = testing::internal::GetCapturedStdout();
    std::remove(path.c_str());
    EXPECT_EQ(message.rfind("Shader file " + path + " is not valid SPIR-V: ", 0), 0u) << message;
    EXPECT_EQ(printed.rfind("ERROR: " + message + " (in Pipeline at line #", 0), 0u) << printed;
    EXPECT_EQ(pipeline->vertexShader, VK_NULL_HANDLE);

    // The game's own shaders pass.
    EXPECT_TRUE(pipeline->loadShaderModule("shaders/imguiVert.spv", &pipeline->vertexShader));
}

TEST_F(PipelineTest, InterfacePipelineWithPushConstantsAndImageSet)
{
    pipeline->loadShaderModule("shaders/imguiVert.spv", &pipeline->vertexShader);
    pipeline->loadShaderModule("shaders/imguiFrag.spv", &pipeline->fragmentShader);
    pipeline->setVertexLayout(vertexLayoutUi, true);
    pipeline->setDescriptorLayout("CIS_0");
    pipeline->setPushConstantRanges({{VK_SHADER_STAGE_VERTEX_BIT, 0, 16}});
    pipeline->state->dynamicStates = {VK_DYNAMIC_STATE_SCISSOR, VK_DYNAMIC_STATE_VIEWPORT};
    pipeline->state->cullMode = VK_CULL_MODE_NONE;
    pipeline->create(AttachmentFormats{{VK_FORMAT_B8G8R8A8_SRGB}, VK_FORMAT_UNDEFINED});

    EXPECT_NE(pipeline->pipeline, VK_NULL_HANDLE);
    EXPECT_NE(pipeline->pipelineLayout, VK_NULL_HANDLE);
    EXPECT_TRUE(pipeline->setLayouts.empty()) << "set layouts live only during creation";
    EXPECT_EQ(pipeline->vertexLayout, vertexLayoutUi);
    ASSERT_EQ(pipeline->vertexBindings.size(), 1u);
    EXPECT_EQ(pipeline->vertexBindings[0].stride, 20u);
    ASSERT_EQ(pipeline->vertexAttributes.size(), 3u);
    EXPECT_EQ(pipeline->vertexAttributes[2].offset, 16u);
}

TEST_F(PipelineTest, DepthOnlyAndMultiSetLayouts)
{
    // No colour attachment (shadow passes) and a layout of two sets numbered 0 and 4.
    pipeline->loadShaderModule("testshaders/cubePositionVert.spv", &pipeline->vertexShader);
    pipeline->loadShaderModule("testshaders/whiteFrag.spv", &pipeline->fragmentShader);
    pipeline->setVertexLayout(vertexLayoutPosition, false);
    pipeline->setDescriptorLayout("UBD_0 SBD_4");
    pipeline->setPushConstantRanges({{VK_SHADER_STAGE_VERTEX_BIT, 0, 64}});
    pipeline->state->dynamicStates = {VK_DYNAMIC_STATE_SCISSOR, VK_DYNAMIC_STATE_VIEWPORT,
                                      VK_DYNAMIC_STATE_DEPTH_BIAS};
    pipeline->state->depthBiasEnable = 1;
    pipeline->create(AttachmentFormats{{}, VK_FORMAT_D32_SFLOAT});
    EXPECT_NE(pipeline->pipeline, VK_NULL_HANDLE);

    // An empty layout string gives a pipeline layout without sets.
    Pipeline* plain = new Pipeline(Engine::graphicsDevice);
    plain->loadShaderModule("testshaders/cubePositionVert.spv", &plain->vertexShader);
    plain->loadShaderModule("testshaders/whiteFrag.spv", &plain->fragmentShader);
    plain->setVertexLayout(vertexLayoutPosition, false);
    plain->setPushConstantRanges({{VK_SHADER_STAGE_VERTEX_BIT, 0, 64}});
    plain->state->dynamicStates = {VK_DYNAMIC_STATE_SCISSOR, VK_DYNAMIC_STATE_VIEWPORT};
    plain->create(AttachmentFormats{{VK_FORMAT_R8G8B8A8_UNORM}, VK_FORMAT_D32_SFLOAT});
    EXPECT_NE(plain->pipeline, VK_NULL_HANDLE);
    EXPECT_EQ(Engine::graphicsDevice->resourceCount(ResourcePipeline), 2u);
}

TEST_F(PipelineTest, LayoutStringErrorsLeaveNothingBehind)
{
    pipeline->loadShaderModule("testshaders/cubePositionVert.spv", &pipeline->vertexShader);
    pipeline->loadShaderModule("testshaders/whiteFrag.spv", &pipeline->fragmentShader);
    pipeline->setVertexLayout(vertexLayoutPosition, false);
    pipeline->setDescriptorLayout("UBD_0+UBD_x");
    EXPECT_THROW(pipeline->create(AttachmentFormats{{VK_FORMAT_R8G8B8A8_UNORM}}), std::invalid_argument);
    // The device's shutdown deletes the half-made pipeline; validation reports leaks.
}
