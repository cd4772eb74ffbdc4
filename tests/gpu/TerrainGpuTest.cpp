#include "GpuTest.h"
#include "Offscreen.h"
#include "Readback.h"
#include "RegistryDrain.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Camera/Random.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Descriptor/DataSet.h"
#include "Engine/Descriptor/DescriptorPool.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Physics/PhysicsObject.h"
#include "Engine/Physics/PhysicsWorld.h"
#include "Engine/Physics/RayHit.h"
#include "Engine/Physics/Registry.h"
#include "Engine/Storage/DataStorage.h"
#include "World/Terrain/ChunkMeshBuilder.h"
#include "World/Terrain/GenerationProgress.h"
#include "World/Terrain/Terrain.h"

#include <BulletCollision/CollisionShapes/btBvhTriangleMeshShape.h>
#include <BulletCollision/CollisionShapes/btTriangleMesh.h>
#include <btBulletDynamicsCommon.h>
#include <glm/gtc/matrix_transform.hpp>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using TerrainGpuTest = GpuTest;

// A small landscape: 4 x 4 chunks of 8 x 8 quads.
struct SmallLandscape : TerrainGrid {
    SmallLandscape() : TerrainGrid(8, 4)
    {
        threadCount = 2;
        generateHeightMap(11);
        erode(2000);
        createSteps();
    }
};

// A chunk set of the small landscape uploaded into a mesh storage of its own, the
// upload copied on to the device.
struct UploadedSet {
    DsDeviceMeshSingle* storage = nullptr;
    DsUniformFixed* uniforms = nullptr;
    StorageSlot shared;
    ChunkSet set;

    UploadedSet(ChunkSetData& data, const glm::vec3& origin)
    {
        storage = new DsDeviceMeshSingle(Engine::graphicsDevice, 16u * 8u * 8u * 6u * 40u + 4096u);
        uniforms = new DsUniformFixed();
        storage->switchHalf();
        shared = StorageSlot{uniforms, 64, NoOffset};
        initChunkSet(set, 16, &shared);
        uploadChunkSet(data, origin, storage, uniforms, set, 3);
        CommandBuffer* commands = beginCommands();
        commands->flushUploads();
        submitCommandsAndWait(commands);
    }
    UploadedSet(const UploadedSet&) = delete;
    UploadedSet& operator=(const UploadedSet&) = delete;

    void release()
    {
        releaseChunkSet(set);
        GraphicsDevice* device = Engine::graphicsDevice;
        device->releaseResource(storage);
        device->releaseResource(uniforms);
        device->deleteDeferred();
    }
};

} // namespace

TEST_F(TerrainGpuTest, ChunkSetIsWrittenIntoTheMeshStorageAndUploaded)
{
    SmallLandscape grid;
    ChunkSetData data = buildChunkSet(grid, {ChunkRules::ShadowLow, ChunkRules::ShadowHigh}, 12742.0f,
                                      *grid.random, 2);
    ChunkSetData expected = data; // uploadChunkSet consumes the vertex blocks

    UploadedSet uploaded(data, grid.origin);
    const ChunkSet& set = uploaded.set;
    DsDeviceMeshSingle* storage = uploaded.storage;
    DsUniformFixed* uniforms = uploaded.uniforms;

    u32 drawn = 0;
    for (u32 cx = 0; cx < 4; cx++) {
        for (u32 cz = 0; cz < 4; cz++) {
            u32 index = cz * 4 + cx;
            const ChunkMeshData& chunk = expected.chunks[index];
            EXPECT_EQ(set.boxes[index].active, expected.boxes[index].active);
            EXPECT_EQ(set.boxes[index].minY, expected.boxes[index].minY);
            if (chunk.vertexCount == 0) {
                EXPECT_EQ(set.meshes[index], nullptr);
                EXPECT_EQ(set.slots[index].offset, NoOffset);
                continue;
            }
            drawn++;
            Mesh* mesh = set.meshes[index];
            ASSERT_NE(mesh, nullptr);
            EXPECT_EQ(mesh->indexBuffer, nullptr);
            VertexBuffer* vertices = mesh->vertexBuffer;
            EXPECT_EQ(vertices->vertexCount, chunk.vertexCount);
            // Each stream reached the device buffer as built.
            u32 start = 0;
            for (u32 kind : {AttributePosition, AttributeNormal, AttributeVertexColor}) {
                const VertexStreamSlot* stream = vertices->streamOfKind(kind);
                ASSERT_NE(stream, nullptr);
                std::vector<u8> bytes = readBuffer(storage->buffer, stream->offset, stream->byteSize);
                ASSERT_EQ(bytes.size(), stream->byteSize);
                EXPECT_EQ(0, std::memcmp(bytes.data(), chunk.streams.data() + start, stream->byteSize));
                start += stream->byteSize;
            }
            EXPECT_EQ(start, chunk.streams.size());
            // The chunk's model matrix moves it to its place in the world.
            glm::mat4 model;
            std::memcpy(&model, uniforms->mapped + set.slots[index].offset, sizeof(model));
            glm::vec3 corner = grid.origin + glm::vec3(cx * 8.0f, 0.0f, cz * 8.0f);
            EXPECT_EQ(model, glm::translate(glm::mat4(1.0f), corner));
        }
    }
    EXPECT_GT(drawn, 0u);

    uploaded.release();
    EXPECT_EQ(set.slots, nullptr);
    EXPECT_TRUE(validationErrors().empty());
}

TEST_F(TerrainGpuTest, IndexedChunkSetIsWrittenAsPositionsAndIndices)
{
    SmallLandscape grid;
    ChunkSetData data = buildChunkSet(grid, {ChunkRules::ShadowLow, ChunkRules::ShadowHigh}, 12742.0f,
                                      *grid.random, 2, ChunkForm::PositionsIndexed);
    const ChunkSetData expected = data; // uploadChunkSet consumes the positions and indices

    UploadedSet uploaded(data, grid.origin);
    EXPECT_TRUE(data.chunks[0].indices.empty());
    const ChunkSet& set = uploaded.set;
    DsDeviceMeshSingle* storage = uploaded.storage;

    u32 drawn = 0;
    for (u32 index = 0; index < 16; index++) {
        SCOPED_TRACE(index);
        const ChunkMeshData& chunk = expected.chunks[index];
        if (chunk.vertexCount == 0) {
            EXPECT_EQ(set.meshes[index], nullptr);
            continue;
        }
        drawn++;
        const Mesh* mesh = set.meshes[index];
        ASSERT_NE(mesh, nullptr);
        // One position stream of the distinct positions, read by the shadow pipeline.
        const VertexBuffer* vertices = mesh->vertexBuffer;
        EXPECT_EQ(vertices->layout, vertexLayoutPosition);
        EXPECT_EQ(vertices->vertexCount, chunk.positionCount());
        EXPECT_EQ(vertices->streamOfKind(AttributeNormal), nullptr);
        const VertexStreamSlot* positions = vertices->streamOfKind(AttributePosition);
        ASSERT_NE(positions, nullptr);
        EXPECT_EQ(positions->byteSize, chunk.streams.size());
        EXPECT_TRUE(readBuffer(storage->buffer, positions->offset, positions->byteSize) == chunk.streams);
        // One 32-bit index per vertex, at an offset an index buffer may be bound at.
        const IndexBuffer* indices = mesh->indexBuffer;
        ASSERT_NE(indices, nullptr);
        EXPECT_EQ(indices->storage, storage);
        EXPECT_EQ(indices->count, chunk.vertexCount);
        EXPECT_EQ(indices->byteSize, chunk.vertexCount * 4u);
        EXPECT_EQ(indices->offset % 4u, 0u);
        const std::vector<u8> bytes = readBuffer(storage->buffer, indices->offset, indices->byteSize);
        ASSERT_EQ(bytes.size(), chunk.indices.size() * 4u);
        EXPECT_EQ(0, std::memcmp(bytes.data(), chunk.indices.data(), bytes.size()));
    }
    EXPECT_GT(drawn, 0u);

    uploaded.release();
    EXPECT_TRUE(validationErrors().empty());
}

namespace {

const float Clear[4] = {0.0f, 0.0f, 0.0f, 0.0f};

// The terrain object with stand-in shaders: the test's stub shaders are copied under
// the terrain's shader names into a scratch directory that is the working directory
// while the terrain is made.
class TerrainObjectGpuTest : public GpuTest {
protected:
    TerrainObjectGpuTest() : GpuTest({.swapChain = false}) {}

    void SetUp() override
    {
        GpuTest::SetUp();
        if (HasFatalFailure()) return;
        GraphicsDevice* device = Engine::graphicsDevice;
        sampler = new Sampler(device, samplerClampToEdge());
        nearest = new Sampler(device, samplerClampToEdgeNearest());
        shadowMap = new ImageBinding(Engine::descriptorPool->fallbackView(), Engine::descriptorPool->fallbackSampler);

        for (StorageSlot* slot : {&sky, &sun, &shadow, &water, &light}) {
            slot->storage = Engine::frameUniforms;
            std::vector<u8> zeros(slot->size, 0);
            slot->offset = Engine::frameUniforms->write(slot->offset, zeros.data(), slot->size, false);
        }
        bindings.skyParams = &sky;
        bindings.sunDirection = &sun;
        bindings.shadowUniforms = &shadow;
        bindings.shadowMap = shadowMap;
        bindings.waterParams = &water;
        bindings.lightCamera = &light;
        bindings.targetSampler = sampler;
        bindings.depthSampler = nearest;
        bindings.colorFormat = VK_FORMAT_R8G8B8A8_UNORM;
        bindings.depthFormat = findDepthFormat(device->physicalDevice);
        bindings.shadowFormat = bindings.depthFormat;
        bindings.windowWidth = 64;
        bindings.windowHeight = 48;

        std::filesystem::path run = std::filesystem::current_path();
        scratch = std::filesystem::temp_directory_path() / ("terrain-gpu-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(scratch / "shaders");
        auto copy = [&](const char* from, std::initializer_list<const char*> names) {
            for (const char* name : names) {
                std::filesystem::copy_file(run / "testshaders" / from, scratch / "shaders" / name,
                                           std::filesystem::copy_options::overwrite_existing);
            }
        };
        copy("terrainStubVert.spv", {"terrainVert.spv", "terrainVertOpt.spv", "terrainWaterVert.spv",
                                     "terrainWaterVertOpt.spv"});
        copy("vertexColorFrag.spv", {"terrainFrag.spv", "terrainFragOpt.spv", "terrainWaterFrag.spv",
                                     "terrainWaterFragOpt.spv"});
        copy("terrainShadowStubVert.spv", {"terrainShadowVert.spv"});
        copy("depthOnlyFrag.spv", {"shadowFrag.spv"});
    }

    void TearDown() override
    {
        delete shadowMap;
        if (!scratch.empty()) std::filesystem::remove_all(scratch);
        GpuTest::TearDown();
    }

    // Makes the terrain with the scratch directory as the working directory.
    Terrain* makeTerrain(Camera* camera, GenerationProgress* progress)
    {
        std::filesystem::path run = std::filesystem::current_path();
        std::filesystem::current_path(scratch);
        Terrain* terrain = nullptr;
        try {
            terrain = new Terrain(camera, 8, 4, bindings, progress);
        } catch (...) {
            std::filesystem::current_path(run);
            throw;
        }
        std::filesystem::current_path(run);
        return terrain;
    }

    Sampler* sampler = nullptr;
    Sampler* nearest = nullptr;
    ImageBinding* shadowMap = nullptr;
    StorageSlot sky{nullptr, 64, NoOffset}, sun{nullptr, 16, NoOffset}, shadow{nullptr, 64, NoOffset},
        water{nullptr, 64, NoOffset}, light{nullptr, 104, NoOffset};
    TerrainBindings bindings;
    std::filesystem::path scratch;
};

} // namespace

TEST_F(TerrainObjectGpuTest, GeneratesBuildsItsChunkSetsAndDrawsThem)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    Camera camera;
    GenerationProgress progress;
    std::vector<std::string> stages;
    progress.beginStage = [&](const char* text) { stages.emplace_back(text); };

    Terrain* terrain = makeTerrain(&camera, &progress);
    ASSERT_NE(terrain, nullptr);
    EXPECT_EQ(terrain->gridSize, 33u);
    EXPECT_EQ(terrain->prepassColor->extent.width, 128u);
    EXPECT_EQ(terrain->prepassDepth->extent.height, 96u);
    EXPECT_EQ(terrain->prepassDepthBinding->sampler, nearest);
    EXPECT_EQ(terrain->meshStorage->halfSize, 33u * 40u * 33u * 18u);

    PhysicsWorld query;
    query.init(QueryWorldGravity);
    std::mutex queryMutex;
    terrain->threadCount = 3;
    terrain->generate(2, &query, queryMutex);
    EXPECT_EQ(stages, (std::vector<std::string>{"Initializing terrain", "Generating heighmap", "Eroding terrain",
                                                "Creating terrain steps", "Creating physics shapes",
                                                "Creating physics bodies"}));
    PhysicsObject* object = terrain->bodies.object;
    btCollisionShape* shape = terrain->collisionShape;
    btTriangleMesh* mesh = terrain->triangleMesh;
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(mesh->getNumTriangles(), 2 * 32 * 32);
    EXPECT_EQ(query.world->getNumCollisionObjects(), 1);

    terrain->meshStorage->switchHalf();
    terrain->chunkUniforms->returnPendingFrees();
    terrain->buildChunkMeshes({ChunkRules::MainLow, ChunkRules::MainHigh}, terrain->mainSet);
    terrain->buildChunkMeshes({ChunkRules::PrepassLow, ChunkRules::PrepassHigh}, terrain->prepassSet);
    terrain->buildChunkMeshes({ChunkRules::ShadowLow, ChunkRules::ShadowHigh}, terrain->shadowSet);
    u32 mainChunks = 0;
    for (u32 index = 0; index < 16; index++) {
        EXPECT_EQ(terrain->mainSet.boxes[index].active != 0, terrain->mainSet.meshes[index] != nullptr);
        mainChunks += terrain->mainSet.boxes[index].active;
    }
    ASSERT_GT(mainChunks, 0u);

    // The main set from high above, through the terrain pipeline and its data sets.
    camera.position = glm::vec3(0.0f, 60.0f, 0.0f);
    camera.forward = glm::vec3(0.0f, -1.0f, 0.0f);
    camera.setPerspective(60.0f, 1.0f, 1.0f, 2000.0f);
    camera.uploadUniforms();
    OffscreenTarget target = createOffscreenTarget(64, 64, VK_FORMAT_R8G8B8A8_UNORM, terrain->bindings.depthFormat);
    CommandBuffer* commands = beginCommands();
    commands->flushUploads();
    beginOffscreenPass(commands, target, Clear);
    commands->bindPipeline(terrain->terrainPipeline);
    commands->setViewportAndScissor(target.extent);
    commands->addDataSet(terrain->terrainDataSet);
    commands->bindDataSets(0);
    for (u32 cx = 0; cx < 4; cx++) {
        for (u32 cz = 0; cz < 4; cz++) {
            u32 index = cz * 4 + cx;
            if (!terrain->mainSet.boxes[index].active) continue;
            terrain->chunkSlot->offset = terrain->mainSet.slots[index].offset;
            commands->addDataSet(terrain->chunkDataSet);
            commands->bindDataSets(1);
            commands->drawMesh(terrain->mainSet.meshes[index], 1);
        }
    }
    endOffscreenPass(commands, target);
    submitCommandsAndWait(commands);
    std::vector<u8> pixels = readPixels(target);
    u32 covered = 0;
    // (The pipelines blend alpha so that it stays 0 over a clear target: look at colour.)
    for (size_t p = 0; p < pixels.size(); p += 4) covered += (pixels[p] | pixels[p + 1] | pixels[p + 2]) != 0;
    EXPECT_GT(covered, 64u * 64u / 20);
    destroyOffscreenTarget(target);

    delete terrain;
    EXPECT_EQ(query.world->getNumCollisionObjects(), 0);
    drainRegistry(object, shape, mesh);
    device->deleteDeferred();
    EXPECT_TRUE(validationErrors().empty());
}
