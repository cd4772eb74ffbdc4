#include "GpuTest.h"
#include "ScratchFiles.h"
#include "VariablePointerModule.h"

#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Pipeline/Pipeline.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

namespace {

class PipelineTest : public GpuTest {
protected:
    Pipeline* pipeline = nullptr;
    const ScratchFolder files{"pipeline-shaders"};

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

    std::string writeFile(const std::string& name, const std::string& bytes) const
    {
        std::string path = (files / name).string();
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
    // Each ends in one fatal line naming the file, and its message is what is thrown.
    std::string empty = writeFile("emptyVert.spv", "");
    std::string text = writeFile("textVert.spv", "#version 450\nvoid main(){}\n...");
    std::string odd = writeFile("oddVert.spv", std::string("\x03\x02\x23\x07\x00", 5));
    std::string magic = writeFile("magicVert.spv", "GLSL source!");
    for (const std::string& path :
         {std::string("shaders/noSuchVert.spv"), std::string("shaders"), empty, text, odd, magic}) {
        testing::internal::CaptureStdout();
        std::string message = errorOf([&] { pipeline->loadShaderModule(path.c_str(), &pipeline->vertexShader); });
        std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(message.rfind("Shader file " + path + " ", 0), 0u) << message;
        EXPECT_EQ(printed.rfind("ERROR: " + message + " (in Pipeline at line #", 0), 0u) << printed;
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << "one line: " << printed;
        EXPECT_EQ(pipeline->vertexShader, VK_NULL_HANDLE) << "a bad file leaves the module unset";
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
    std::string path = writeFile("garbageVert.spv", bytes);
    testing::internal::CaptureStdout();
    std::string message = errorOf([&] { pipeline->loadShaderModule(path.c_str(), &pipeline->vertexShader); });
    std::string printed = testing::internal::GetCapturedStdout();
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

// Shaders put in a pipeline they do not fit (swapped files, another pass's shader, one made
// for another device) are refused with one fatal line naming the file, before any Vulkan
// pipeline is made. The driver would otherwise fail the pipeline, crash, or draw nothing.
TEST_F(PipelineTest, ShadersThatDoNotFitTheirPipelineAreRefused)
{
    const char* sceneLayout = "UBD_0+UBD_1+UBD_2+CIS_3 SBD_4";
    const char* waterLayout = "UBD_0+UBD_1+UBD_2 CIS_3+CIS_4+CIS_5";
    const std::vector<VkFormat> colour = {VK_FORMAT_B8G8R8A8_SRGB};
    // The interface's fragment shader replaced by one that declares a capability the
    // device was not created with (the validator takes the module, the driver may not).
    const std::vector<u32> variablePointers = variablePointerModule(false);
    const std::string capabilityFile =
        writeFile("variablePointersFrag.spv",
                  std::string(reinterpret_cast<const char*>(variablePointers.data()), variablePointers.size() * 4));
    struct Row {
        const char* what;
        const char* vertex;
        const char* fragment;
        const char* layout;
        VertexLayout* vertexLayout;
        bool interleaved;
        std::vector<VkPushConstantRange> pushConstants;
        std::vector<VkFormat> colours;
        const char* named;  // the file the line names
        const char* phrase; // what it says of it
    };
    const Row rows[] = {
        {"the enemy's shaders swapped", "shaders/enemyFrag.spv", "shaders/enemyVert.spv", sceneLayout,
         vertexLayoutPosNormalUv, false, {}, colour, "shaders/enemyFrag.spv", "cannot be the vertex shader"},
        {"the tower's fragment shader in the water", "shaders/waterVert.spv", "shaders/towerFrag.spv", waterLayout,
         vertexLayoutUv, false, {}, {VK_FORMAT_B8G8R8A8_SRGB, VK_FORMAT_R32_SFLOAT}, "shaders/towerFrag.spv",
         "does not fit its pipeline as the fragment shader: set 0 binding 3"},
        {"the water's fragment shader on a tower", "shaders/towerVert.spv", "shaders/waterFrag.spv", sceneLayout,
         vertexLayoutPosNormalColor, false, {}, colour, "shaders/waterFrag.spv",
         "does not fit its pipeline as the fragment shader: set 1 binding"},
        {"the enemy's vertex shader on the towers' meshes", "shaders/enemyVert.spv", "shaders/enemyFrag.spv",
         sceneLayout, vertexLayoutPosNormalColor, false, {}, colour, "shaders/enemyVert.spv",
         "vertex input location 2"},
        {"the interface without its push constants", "shaders/imguiVert.spv", "shaders/imguiFrag.spv", "CIS_0",
         vertexLayoutUi, true, {}, colour, "shaders/imguiVert.spv", "push-constant"},
        {"a tower's vertex shader before the particles' fragment shader", "shaders/towerVert.spv",
         "shaders/particleFrag.spv", sceneLayout, vertexLayoutPosNormalColor, false, {}, colour,
         "shaders/particleFrag.spv", "which the vertex shader does not write"},
        {"the interface's fragment shader made for another device", "shaders/imguiVert.spv", capabilityFile.c_str(),
         "CIS_0", vertexLayoutUi, true, {{VK_SHADER_STAGE_VERTEX_BIT, 0, 16}}, colour, capabilityFile.c_str(),
         "uses the capability VariablePointersStorageBuffer, which the device was not created with"},
    };
    for (const Row& row : rows) {
        auto* built = new Pipeline(Engine::graphicsDevice);
        testing::internal::CaptureStdout();
        std::string message = errorOf([&] {
            built->loadShaderModule(row.vertex, &built->vertexShader);
            built->loadShaderModule(row.fragment, &built->fragmentShader);
            built->setVertexLayout(row.vertexLayout, row.interleaved);
            built->setDescriptorLayout(row.layout);
            built->setPushConstantRanges(row.pushConstants);
            built->state->dynamicStates = {VK_DYNAMIC_STATE_SCISSOR, VK_DYNAMIC_STATE_VIEWPORT};
            built->create(AttachmentFormats{row.colours, VK_FORMAT_D32_SFLOAT});
        });
        std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(message.rfind(std::string("Shader file ") + row.named + " ", 0), 0u) << row.what << ": " << message;
        EXPECT_NE(message.find(row.phrase), std::string::npos) << row.what << ": " << message;
        EXPECT_EQ(printed.rfind("ERROR: " + message + " (in Pipeline at line #", 0), 0u) << row.what << ": " << printed;
        EXPECT_EQ(built->pipelineLayout, VK_NULL_HANDLE) << row.what;
        EXPECT_EQ(built->pipeline, VK_NULL_HANDLE) << row.what;
        Engine::graphicsDevice->releaseResource(built);
    }
    Engine::graphicsDevice->deleteDeferred();
}
