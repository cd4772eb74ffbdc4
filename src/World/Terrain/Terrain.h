#pragma once

#include "World/Culling/BoundingAABB.h"
#include "World/Shadow/ShadowReceivers.h"
#include "World/Terrain/TerrainCells.h"
#include "World/Terrain/TerrainGrid.h"
#include "World/Terrain/TerrainPhysics.h"
#include "World/Terrain/TerrainView.h"

#include <glm/glm.hpp>
#include <vulkan/vulkan.h>

#include <future>
#include <memory>
#include <mutex>
#include <vector>

class Camera;
class CommandBuffer;
class DataSet;
class DsDeviceMeshSingle;
class DsUniformFixed;
class Image2D;
class Mesh;
class Pipeline;
class Sampler;
class btBvhTriangleMeshShape;
class btTriangleMesh;
struct Frustum;
struct ImageBinding;
struct InstanceSlot;
struct PhysicsWorld;
struct StorageSlot;

// What the terrain's pipelines and data sets read from the rest of the world: the
// sky's parameter and sun slots, the shadow renderer's uniforms, map and light camera,
// the water's parameters, the samplers of the water-prepass images and the formats of
// the passes it draws into.
struct TerrainBindings {
    StorageSlot* skyParams = nullptr;
    StorageSlot* sunDirection = nullptr;
    StorageSlot* shadowUniforms = nullptr;
    ImageBinding* shadowMap = nullptr;
    StorageSlot* waterParams = nullptr;
    StorageSlot* lightCamera = nullptr;
    Sampler* targetSampler = nullptr; // the prepass colour image
    Sampler* depthSampler = nullptr;  // the prepass depth image (targetSampler when null)
    VkFormat colorFormat = VK_FORMAT_UNDEFINED;  // the swap chain's
    VkFormat depthFormat = VK_FORMAT_UNDEFINED;  // the scene's depth format
    VkFormat shadowFormat = VK_FORMAT_UNDEFINED; // the shadow map's
    u32 windowWidth = 0;
    u32 windowHeight = 0;
};

// One chunk set, per chunk index cz*chunksPerSide + cx: its mesh (null when empty), its
// reference into the per-chunk uniform pool and its box.
struct ChunkSet {
    std::vector<Mesh*> meshes;
    InstanceSlot* slots = nullptr; // 256 entries, owned
    std::vector<BoundingAABB> boxes;
    // Each chunk's cells of 16 x 16 quads, for culling finer than the chunk's box, and
    // the mask of the cells that hold a quad.
    std::vector<ChunkCells> cells;
    std::vector<u32> occupiedCells;
};

// The projection the water prepass renders with (filled when the prepass is drawn).
struct WaterViewParams {
    u8 perspective = 1;
    f32 fovDegrees = 0.0f;
    f32 aspect = 0.0f;
    f32 nearPlane = 0.0f;
    f32 farPlane = 0.0f;
    f32 ortho[3] = {0.0f, 0.0f, 0.0f};
    u32 reserved = 0;
};

// The world's landscape: the stepped grid with its generation, the three chunk sets
// in the terrain's own device mesh storage with a model matrix per chunk, the
// pipelines and data sets that draw them, the water-prepass images and the static
// collision body in the engine world and in the world's query world.
class Terrain : public TerrainGrid {
public:
    static constexpr u32 MaxChunks = 256;

    Camera* camera = nullptr;
    TerrainBindings bindings;
    ImageBinding* prepassColorBinding = nullptr;
    ImageBinding* prepassDepthBinding = nullptr;
    TerrainBodies bodies;
    DsDeviceMeshSingle* meshStorage = nullptr;
    DsUniformFixed* chunkUniforms = nullptr;
    Pipeline* terrainPipeline = nullptr;
    Pipeline* terrainOptPipeline = nullptr;
    Pipeline* waterPipeline = nullptr;
    Pipeline* waterOptPipeline = nullptr;
    Pipeline* shadowPipeline = nullptr;
    ChunkSet mainSet;
    ChunkSet prepassSet;
    ChunkSet shadowSet;
    btTriangleMesh* triangleMesh = nullptr;
    btBvhTriangleMeshShape* collisionShape = nullptr;
    WaterViewParams waterView;
    DataSet* terrainDataSet = nullptr;
    DataSet* waterDataSet = nullptr;
    DataSet* terrainOptDataSet = nullptr;
    DataSet* waterOptDataSet = nullptr;
    DataSet* shadowDataSet = nullptr;
    Image2D* prepassColor = nullptr;
    Image2D* prepassDepth = nullptr;
    DataSet* chunkDataSet = nullptr;
    StorageSlot* chunkSlot = nullptr; // shared by every chunk reference; offset set per draw
    // The sea sphere's radius for the altitude windows (the sky's planet radius).
    f32 planetRadius = ChunkRules::DefaultPlanetRadius;
    // The query world the second body lives in, and its mutex.
    PhysicsWorld* queryWorld = nullptr;
    std::mutex* queryMutex = nullptr;

    // Announces "Initializing terrain" to `loading` (may be null), which then receives
    // every stage of generate.
    Terrain(Camera* camera, u32 chunkSize, u32 chunksPerSide, const TerrainBindings& bindings,
            GenerationProgress* loading);
    ~Terrain() override;

    // The five generation stages: height map, erosion, steps (the chunk sets are then
    // prepared on a thread of their own), the collision mesh, and the collision shape
    // with its bodies (the engine world's through the registry, the query world's
    // under `worldMutex`). A negative seed seeds from the clock.
    void generate(i32 seed, PhysicsWorld* world, std::mutex& worldMutex);
    // The same in two halves, so that the caller can go on with other work while the
    // collision shape is built. The first runs the stages up to the steps (taking the
    // height map from `heightMap` when given: one made ahead for the same seed and
    // size) and starts the collision mesh and shape on a thread of their own; nothing
    // but the steps and the chunk sets may be read until the second half, which waits
    // for the shape and makes the bodies.
    void startGeneration(i32 seed, std::future<std::unique_ptr<TerrainGrid>>* heightMap = nullptr);
    void finishGeneration(PhysicsWorld* world, std::mutex& worldMutex);

    // Writes one chunk set for the altitude window (low, high) into the mesh storage
    // and the per-chunk uniforms, and queues the storage for upload. The caller has
    // switched the mesh storage to its writing half first. The shadow set gets indexed
    // position-only meshes (the same triangles in the same order), the others the
    // shaded streams.
    void buildChunkMeshes(glm::vec2 window, ChunkSet& set);

    // The water-prepass colour and depth images at twice the window size, with their
    // views; the two image bindings are made the first time and later given the new
    // views (the caller releases the old images and notifies the bindings' listeners).
    void createPrepassImages(u32 windowWidth, u32 windowHeight);

    // Drawing (TerrainDraw.cpp). The main set into the scene pass that the world has
    // begun, through the normal or the optimised pipeline.
    void draw(CommandBuffer* cmd, Camera* sceneCamera);
    // The low ground into the prepass images (cleared every frame), seen through the
    // widened prepass view; the camera's projection and block are restored afterwards.
    void drawWaterPrepass(CommandBuffer* cmd, Camera* sceneCamera, const SeaView* sea = nullptr);
    // The shadow set into the cascade layer that the shadow renderer has begun.
    // With a coverage of the cascade's receivers, only the cells that may shade one.
    void drawShadow(CommandBuffer* cmd, Camera* lightCamera, const Frustum& lightFrustum,
                    const ReceiverCoverage* coverage = nullptr);
    // The prepass view from the camera's field of view and planes and the window size.
    void updateWaterViewParams(Camera* sceneCamera);
    // The frustum of the water prepass for the camera: its wider view from the same place.
    Frustum prepassFrustum(const Camera& sceneCamera) const;
    // Appends the boxes of the main set's cells in `sceneView` and of the prepass set's
    // cells in `prepassView` that the sea can show: the ground that the frame shows
    // (directly or through the water), which is what takes shadows.
    void gatherShadowReceivers(const Frustum& sceneView, const Frustum& prepassView, const SeaView& sea,
                               std::vector<ReceiverBox>& receivers) const;
    // After a window resize: new prepass images at twice the new window size, told to
    // the data sets that sample them.
    void recreateResources();

private:
    // The collision mesh and shape, built on a thread of their own from the steps.
    std::future<void> shapeBuild;

    void createDataSets();
    void createPipelines();
    void createPhysicsShapes();
};

// Writes the chunks of `data` into `set`: a vertex buffer and mesh on `storage` per
// chunk with vertices and its model matrix (translation to the chunk's origin) in
// `uniforms` through the chunk's reference; empty chunks get no mesh and an inactive
// box. Shaded chunks get position, normal and colour streams and no index buffer;
// indexed ones a position stream and an index buffer. The bytes are copied on
// `threads` threads (0: all). Consumes the vertex data.
void uploadChunkSet(ChunkSetData& data, const glm::vec3& origin, DsDeviceMeshSingle* storage,
                    DsUniformFixed* uniforms, ChunkSet& set, u32 threads);

// An empty chunk set of `chunks` entries sharing `sharedSlot`.
void initChunkSet(ChunkSet& set, u32 chunks, StorageSlot* sharedSlot);
// Releases the meshes of the active chunks and frees the references.
void releaseChunkSet(ChunkSet& set);
