#include "GpuTest.h"
#include "Offscreen.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Pipeline/Pipeline.h"
#include "Engine/Storage/DataStorage.h"

#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include <cstdlib>

namespace {

constexpr u32 Size = 64;
const float Clear[4] = {0.0f, 0.0f, 0.0f, 0.0f};

// A unit cube seen from (0, 0, -3): its -z face fills the middle of the image.
class CubeRenderTest : public GpuTest {
protected:
    DsDeviceMeshSingle* storage = nullptr;
    Cube* cube = nullptr;
    OffscreenTarget target;
    glm::mat4 mvp{1.0f};

    void SetUp() override
    {
        GpuTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        storage = new DsDeviceMeshSingle(Engine::graphicsDevice, 100000);
        storage->switchHalf();
        cube = new Cube(storage, 1, 1, 1);
        storage->scheduleUpload();
        target = createOffscreenTarget(Size, Size, VK_FORMAT_R8G8B8A8_UNORM, VK_FORMAT_D32_SFLOAT);
        glm::mat4 projection = glm::perspective(glm::radians(60.0f), 1.0f, 0.1f, 100.0f);
        glm::mat4 view = glm::lookAt(glm::vec3(0, 0, -3), glm::vec3(0, 0, 0), glm::vec3(0, 1, 0));
        mvp = projection * view;
    }

    void TearDown() override
    {
        if (target.color != nullptr) {
            destroyOffscreenTarget(target);
        }
        GpuTest::TearDown();
    }

    Pipeline* makePipeline(const char* vertex, const char* fragment, VertexLayout* layout)
    {
        Pipeline* pipeline = new Pipeline(Engine::graphicsDevice);
        pipeline->loadShaderModule(vertex, &pipeline->vertexShader);
        pipeline->loadShaderModule(fragment, &pipeline->fragmentShader);
        pipeline->setVertexLayout(layout, false);
        pipeline->setPushConstantRanges({{VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof(glm::mat4)}});
        pipeline->state->dynamicStates = {VK_DYNAMIC_STATE_SCISSOR, VK_DYNAMIC_STATE_VIEWPORT};
        pipeline->create(AttachmentFormats{{VK_FORMAT_R8G8B8A8_UNORM}, VK_FORMAT_D32_SFLOAT});
        return pipeline;
    }

    void draw(CommandBuffer* commandBuffer, Pipeline* pipeline)
    {
        commandBuffer->bindPipeline(pipeline);
        vkCmdPushConstants(commandBuffer->handle, pipeline->pipelineLayout, VK_SHADER_STAGE_VERTEX_BIT, 0,
                           sizeof(glm::mat4), &mvp);
        commandBuffer->drawMesh(cube, 1);
    }

    // Renders with the pipelines in order into the target and reads it back.
    std::vector<u8> render(std::initializer_list<Pipeline*> pipelines)
    {
        CommandBuffer* commandBuffer = beginCommands();
        commandBuffer->flushUploads();
        beginOffscreenPass(commandBuffer, target, Clear);
        for (Pipeline* pipeline : pipelines) {
            draw(commandBuffer, pipeline);
        }
        endOffscreenPass(commandBuffer, target);
        submitCommandsAndWait(commandBuffer);
        return readPixels(target);
    }
};

void expectColor(const Pixel& pixel, int r, int g, int b, const char* where)
{
    EXPECT_LE(std::abs(pixel.c[0] - r), 2) << where << ": red " << int(pixel.c[0]);
    EXPECT_LE(std::abs(pixel.c[1] - g), 2) << where << ": green " << int(pixel.c[1]);
    EXPECT_LE(std::abs(pixel.c[2] - b), 2) << where << ": blue " << int(pixel.c[2]);
}

} // namespace

TEST_F(CubeRenderTest, PositionOnlyPipelineDrawsTheSilhouette)
{
    Pipeline* white = makePipeline("testshaders/cubePositionVert.spv", "testshaders/whiteFrag.spv",
                                   vertexLayoutPosition);
    std::vector<u8> pixels = render({white});

    expectColor(pixelAt(pixels, Size, Size / 2, Size / 2), 255, 255, 255, "centre");
    expectColor(pixelAt(pixels, Size, 2, 2), 0, 0, 0, "corner");
    expectColor(pixelAt(pixels, Size, Size - 3, Size / 2), 0, 0, 0, "right edge");
    // At distance 2.5 with a 60 degree view the face spans about 0.35 of the image
    // around the centre: count the white pixels on the middle row.
    int covered = 0;
    for (u32 x = 0; x < Size; x++) {
        covered += pixelAt(pixels, Size, x, Size / 2).c[0] > 128 ? 1 : 0;
    }
    EXPECT_NEAR(covered, 0.35 * Size, 3.0);
}

TEST_F(CubeRenderTest, ColourPipelineOnTheSameMeshRebindsItsStreams)
{
    Pipeline* white = makePipeline("testshaders/cubePositionVert.spv", "testshaders/whiteFrag.spv",
                                   vertexLayoutPosition);
    Pipeline* colour = makePipeline("testshaders/cubeNormalVert.spv", "testshaders/vertexColorFrag.spv",
                                    vertexLayoutPosNormalUv);

    // The near face has normal (0, 0, -1): coloured (0.5, 0.5, 0). Drawn over the white
    // silhouette with the same mesh, it needs all three streams bound for the second
    // pipeline (validation fails on unbound vertex bindings).
    std::vector<u8> pixels = render({white, colour});
    expectColor(pixelAt(pixels, Size, Size / 2, Size / 2), 128, 128, 0, "centre");
    expectColor(pixelAt(pixels, Size, 2, 2), 0, 0, 0, "corner");

    // And back: the position pipeline after the colour one on the same mesh.
    pixels = render({colour, white});
    expectColor(pixelAt(pixels, Size, Size / 2, Size / 2), 255, 255, 255, "centre after switching back");
}

TEST_F(CubeRenderTest, BackFacesAreCulled)
{
    // Seen from inside the cube, every face turns its back: nothing is drawn.
    Pipeline* colour = makePipeline("testshaders/cubeNormalVert.spv", "testshaders/vertexColorFrag.spv",
                                    vertexLayoutPosNormalUv);
    glm::mat4 projection = glm::perspective(glm::radians(60.0f), 1.0f, 0.01f, 100.0f);
    mvp = projection * glm::lookAt(glm::vec3(0, 0, 0), glm::vec3(0, 0, 1), glm::vec3(0, 1, 0));
    std::vector<u8> pixels = render({colour});
    expectColor(pixelAt(pixels, Size, Size / 2, Size / 2), 0, 0, 0, "centre");

    colour->state->cullMode = VK_CULL_MODE_NONE; // no effect after creation: pipelines are made once
    pixels = render({colour});
    expectColor(pixelAt(pixels, Size, Size / 2, Size / 2), 0, 0, 0, "centre, state edited after create");
}
