#include "World/Terrain/Terrain.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Descriptor/DataSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Image/Image.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Pipeline/Pipeline.h"
#include "Engine/Storage/DataStorage.h"
#include "World/Terrain/CollisionMesh.h"
#include "World/Terrain/GenerationProgress.h"

#include <BulletCollision/CollisionShapes/btBvhTriangleMeshShape.h>
#include <BulletCollision/CollisionShapes/btTriangleMesh.h>

#include <stdexcept>

namespace {

// Room for six 40-byte vertices per grid point in each of the three chunk sets. The
// shadow set takes far less than its third (a position per grid point and six 4-byte
// indices per quad), so the rule leaves room to spare.
constexpr u64 VertexBytes = 40;
constexpr u64 VerticesPerPointAndSets = 18;

constexpr u32 ChunkUniformSize = 64; // one model matrix
constexpr u32 ChunkBinding = 4;

constexpr VkFormat PrepassColorFormat = VK_FORMAT_R16G16B16A16_UNORM;

// The pipelines: shaders, vertex layout and descriptor layout.
struct PipelineDesc {
    const char* vertexShader;
    const char* fragmentShader;
    const char* descriptorLayout;
};
constexpr PipelineDesc TerrainPipelineDesc{"shaders/terrainVert.spv", "shaders/terrainFrag.spv",
                                           "UBD_0+UBD_1+UBD_2+CIS_3 UBD_4"};
constexpr PipelineDesc TerrainOptPipelineDesc{"shaders/terrainVertOpt.spv", "shaders/terrainFragOpt.spv",
                                              "UBD_0+UBD_1+UBD_2+CIS_3 UBD_4"};
constexpr PipelineDesc WaterPipelineDesc{"shaders/terrainWaterVert.spv", "shaders/terrainWaterFrag.spv",
                                         "UBD_0+UBD_1+UBD_2+UBD_3+CIS_5 UBD_4"};
constexpr PipelineDesc WaterOptPipelineDesc{"shaders/terrainWaterVertOpt.spv", "shaders/terrainWaterFragOpt.spv",
                                            "UBD_0+UBD_1+UBD_3+CIS_5 UBD_4"};
constexpr PipelineDesc ShadowPipelineDesc{"shaders/terrainShadowVert.spv", "shaders/shadowFrag.spv", "UBD_0 UBD_4"};

Pipeline* makePipeline(const PipelineDesc& desc, VertexLayout* layout, const AttachmentFormats& formats,
                       bool depthBias)
{
    auto* pipeline = new Pipeline(Engine::graphicsDevice);
    pipeline->setVertexLayout(layout, false); // one binding per stream
    pipeline->setDescriptorLayout(desc.descriptorLayout);
    pipeline->state->cullMode = VK_CULL_MODE_BACK_BIT;
    pipeline->state->dynamicStates = {VK_DYNAMIC_STATE_SCISSOR, VK_DYNAMIC_STATE_VIEWPORT};
    if (depthBias) {
        pipeline->state->dynamicStates.push_back(VK_DYNAMIC_STATE_DEPTH_BIAS);
        pipeline->state->depthBiasEnable = 1;
    }
    pipeline->loadShaderModule(desc.vertexShader, &pipeline->vertexShader);
    pipeline->loadShaderModule(desc.fragmentShader, &pipeline->fragmentShader);
    pipeline->create(formats);
    return pipeline;
}

DataSetBinding slotBinding(u32 binding, StorageSlot* slot)
{
    if (!slot) throw std::runtime_error("terrain: a uniform slot of its data sets is missing");
    return {binding, DataSetStorageSlot, slot};
}

DataSetBinding imageBinding(u32 binding, ImageBinding* image)
{
    if (!image) throw std::runtime_error("terrain: an image binding of its data sets is missing");
    return {binding, DataSetImage, image};
}

DataSet* makeDataSet(std::vector<DataSetBinding> bindings)
{
    return new DataSet(Engine::graphicsDevice, Engine::descriptorPool, std::move(bindings));
}

} // namespace

Terrain::Terrain(Camera* viewCamera, u32 chunkSize, u32 chunksPerSide, const TerrainBindings& worldBindings,
                 GenerationProgress* loading)
    : TerrainGrid(chunkSize, chunksPerSide), camera(viewCamera), bindings(worldBindings)
{
    progress = loading;
    if (progress) progress->begin(TerrainStageText::Initializing);
    if (chunksPerSide * chunksPerSide > MaxChunks) throw std::runtime_error("terrain: more chunks than instance slots");

    GraphicsDevice* device = Engine::graphicsDevice;
    createPrepassImages(bindings.windowWidth, bindings.windowHeight);

    chunkUniforms = new DsUniformFixed();
    u64 meshBytes = static_cast<u64>(gridSize) * VertexBytes * gridSize * VerticesPerPointAndSets;
    if (meshBytes > 0x7FFFFFFFull) throw std::runtime_error("terrain: mesh storage larger than a buffer may be");
    meshStorage = new DsDeviceMeshSingle(device, static_cast<u32>(meshBytes));
    chunkSlot = new StorageSlot{chunkUniforms, ChunkUniformSize, NoOffset};
    const u32 chunks = chunksPerSide * chunksPerSide;
    initChunkSet(mainSet, chunks, chunkSlot);
    initChunkSet(prepassSet, chunks, chunkSlot);
    initChunkSet(shadowSet, chunks, chunkSlot);

    createDataSets();
    createPipelines();
}

void Terrain::createPrepassImages(u32 width, u32 height)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    // Twice the window in each direction, so the water can sample beyond the screen edge.
    prepassColor = new Image2D(device, 2 * width, 2 * height, PrepassColorFormat,
                               VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                               VK_IMAGE_ASPECT_COLOR_BIT, 1, 1, 0);
    prepassColor->view = new ImageView(device, prepassColor, 1, 1);
    prepassDepth = new Image2D(device, 2 * width, 2 * height, bindings.depthFormat,
                               VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                               VK_IMAGE_ASPECT_DEPTH_BIT, 1, 1, 0);
    prepassDepth->view = new ImageView(device, prepassDepth, 1, 1);
    if (prepassColorBinding) {
        prepassColorBinding->view = prepassColor->view;
        prepassDepthBinding->view = prepassDepth->view;
        return;
    }
    Sampler* depthSampler = bindings.depthSampler ? bindings.depthSampler : bindings.targetSampler;
    prepassColorBinding = new ImageBinding(prepassColor->view, bindings.targetSampler);
    prepassDepthBinding = new ImageBinding(prepassDepth->view, depthSampler);
}

void Terrain::createDataSets()
{
    StorageSlot* cameraSlot = camera ? camera->uniformSlot : nullptr;
    terrainDataSet = makeDataSet({slotBinding(0, cameraSlot), slotBinding(1, bindings.skyParams),
                                  slotBinding(2, bindings.shadowUniforms), imageBinding(3, bindings.shadowMap)});
    waterDataSet = makeDataSet({slotBinding(0, cameraSlot), slotBinding(1, bindings.skyParams),
                                slotBinding(2, bindings.waterParams), slotBinding(3, bindings.shadowUniforms),
                                imageBinding(5, bindings.shadowMap)});
    terrainOptDataSet = makeDataSet({slotBinding(0, cameraSlot), slotBinding(1, bindings.sunDirection),
                                     slotBinding(2, bindings.shadowUniforms), imageBinding(3, bindings.shadowMap)});
    waterOptDataSet = makeDataSet({slotBinding(0, cameraSlot), slotBinding(1, bindings.sunDirection),
                                   slotBinding(3, bindings.shadowUniforms), imageBinding(5, bindings.shadowMap)});
    shadowDataSet = makeDataSet({slotBinding(0, bindings.lightCamera)});
    chunkDataSet = makeDataSet({slotBinding(ChunkBinding, chunkSlot)});
}

void Terrain::createPipelines()
{
    AttachmentFormats scene{{bindings.colorFormat}, bindings.depthFormat};
    AttachmentFormats prepass{{PrepassColorFormat}, bindings.depthFormat};
    AttachmentFormats shadow{{}, bindings.shadowFormat};
    terrainPipeline = makePipeline(TerrainPipelineDesc, vertexLayoutPosNormalColor, scene, false);
    terrainOptPipeline = makePipeline(TerrainOptPipelineDesc, vertexLayoutPosNormalColor, scene, false);
    waterPipeline = makePipeline(WaterPipelineDesc, vertexLayoutPosNormalColor, prepass, false);
    waterOptPipeline = makePipeline(WaterOptPipelineDesc, vertexLayoutPosNormalColor, prepass, false);
    // The shadow pass reads only the position stream of the shadow chunk meshes.
    shadowPipeline = makePipeline(ShadowPipelineDesc, vertexLayoutPosition, shadow, true);
}

void Terrain::generate(i32 seed, PhysicsWorld* world, std::mutex& worldMutex)
{
    startGeneration(seed);
    finishGeneration(world, worldMutex);
}

void Terrain::startGeneration(i32 seed, std::future<std::unique_ptr<TerrainGrid>>* heightMap)
{
    if (heightMap != nullptr && heightMap->valid()) {
        if (progress) progress->begin(TerrainStageText::HeightMap);
        std::unique_ptr<TerrainGrid> made = heightMap->get();
        takeHeightMap(*made);
    } else {
        generateHeightMap(seed);
    }
    erode();
    createSteps();
    // Only the steps are read from here on: the chunk sets are built while the
    // collision shape is.
    prepareChunkSets(planetRadius);
    if (progress) progress->begin(TerrainStageText::PhysicsShapes);
    shapeBuild = std::async(std::launch::async, [this] { createPhysicsShapes(); });
}

void Terrain::createPhysicsShapes()
{
    triangleMesh = new btTriangleMesh(true, true);
    fillCollisionMesh(*this, *triangleMesh);
    collisionShape = buildCollisionShape(triangleMesh, threadCount, this);
}

void Terrain::finishGeneration(PhysicsWorld* world, std::mutex& worldMutex)
{
    if (progress) progress->begin(TerrainStageText::PhysicsBodies);
    if (!shapeBuild.valid()) throw std::logic_error("terrain: bodies are made after the generation has started");
    shapeBuild.get();
    queryWorld = world;
    queryMutex = &worldMutex;
    bodies = createTerrainBodies(collisionShape, this, queryWorld, worldMutex);
}

void Terrain::buildChunkMeshes(glm::vec2 window, ChunkSet& set)
{
    // The shadow pipeline reads positions only: that set shares them through indices.
    const ChunkForm form = &set == &shadowSet ? ChunkForm::PositionsIndexed : ChunkForm::Shaded;
    ChunkSetData data = takeChunkSet(window, planetRadius, form);
    uploadChunkSet(data, origin, meshStorage, chunkUniforms, set, threadCount);
}

Terrain::~Terrain()
{
    // The chunk sets and the shape built ahead must not outlive the grids they read.
    chunkSets.wait();
    if (shapeBuild.valid()) shapeBuild.wait();

    std::mutex unused;
    destroyTerrainBodies(bodies, collisionShape, triangleMesh, queryWorld, queryMutex ? *queryMutex : unused);
    collisionShape = nullptr;
    triangleMesh = nullptr;

    GraphicsDevice* device = Engine::graphicsDevice;
    device->releaseResource(meshStorage);
    device->releaseResource(chunkUniforms);
    for (DataSet* set : {terrainDataSet, waterDataSet, terrainOptDataSet, waterOptDataSet, shadowDataSet,
                         chunkDataSet}) {
        device->releaseResource(set);
    }
    for (Pipeline* pipeline : {terrainPipeline, terrainOptPipeline, waterPipeline, waterOptPipeline, shadowPipeline}) {
        device->releaseResource(pipeline);
    }
    // Chunk by chunk, main, prepass and shadow in turn.
    for (size_t index = 0; index < mainSet.meshes.size(); index++) {
        for (ChunkSet* set : {&mainSet, &prepassSet, &shadowSet}) {
            if (set->boxes[index].active && set->meshes[index]) device->releaseResource(set->meshes[index]);
            set->meshes[index] = nullptr;
        }
    }
    device->releaseResource(prepassColor);
    device->releaseResource(prepassDepth);

    // Destroying the bindings tells the data sets that sample them.
    delete prepassColorBinding;
    delete prepassDepthBinding;
    delete chunkSlot;
    for (ChunkSet* set : {&mainSet, &prepassSet, &shadowSet}) releaseChunkSet(*set);
}
