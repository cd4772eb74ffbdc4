#include "World/Water/Water.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"
#include "World/Sky/PassSetup.h"
#include "World/Sky/Skybox.h"
#include "World/Terrain/Terrain.h"
#include "World/Water/WaterGrid.h"
#include "World/Water/WaterSettings.h"
#include "World/World.h"

#include <cstring>
#include <initializer_list>
#include <stdexcept>

namespace {

// The colour pass tests the scene's depth without writing it, and writes the surface's
// depth beside the colour; the opaque sea replaces what lies beneath it.
constexpr PassPipelineDesc WaterPipelineDesc{"shaders/waterVert.spv", "shaders/waterFrag.spv",
                                             "UBD_0+UBD_1+UBD_2 CIS_3+CIS_4+CIS_5", false, false};
constexpr PassPipelineDesc WaterOptPipelineDesc{"shaders/waterVertOpt.spv", "shaders/waterFragOpt.spv",
                                                "UBD_0+UBD_1+UBD_2 CIS_3+CIS_4+CIS_5", false, false};
// Then the surface depths into the scene's depth, the colour left alone.
constexpr PassPipelineDesc DepthPipelineDesc{"shaders/seaDepthVert.spv", "shaders/seaDepthFrag.spv", "CIS_0", true,
                                             false, false};

constexpr u32 MeshStorageBytes = 2000000; // per half: the grid's 80,000 vertex and 235,224 index bytes

constexpr const char* Owner = "Water";

} // namespace

Water::Water()
{
    GraphicsDevice* device = Engine::graphicsDevice;
    optParams.time = 0.0f;

    const VkFormat depthFormat = findDepthFormat(device->physicalDevice);
    const AttachmentFormats colorPass{{Engine::swapChain->format, SurfaceDepthFormat}, depthFormat};
    pipeline = createPassPipeline(WaterPipelineDesc, vertexLayoutUv, colorPass);
    optPipeline = createPassPipeline(WaterOptPipelineDesc, vertexLayoutUv, colorPass);
    depthPipeline = createPassPipeline(DepthPipelineDesc, vertexLayoutEmpty, {{Engine::swapChain->format}, depthFormat});

    paramSlot = createFrameSlot(sizeof(WaterParams));
    optParamSlot = createFrameSlot(sizeof(WaterOptParams));

    meshStorage = new DsDeviceMeshSingle(device, MeshStorageBytes);
    meshStorage->switchHalf();
    const std::vector<glm::vec2> grid = waterGridVertices();
    PlanarVertexData vertices(vertexLayoutUv, WaterGrid::VertexCount);
    std::memcpy(vertices.stream(0), grid.data(), grid.size() * sizeof(glm::vec2));
    auto* vertexBuffer = new VertexBuffer(device, meshStorage, vertexLayoutUv);
    VertexBuffer::setAttributeData(vertices, vertexBuffer, -1);
    auto* indexBuffer = new IndexBuffer(device, meshStorage);
    indexBuffer->setIndices(waterGridIndices());
    mesh = new Mesh(device, "", vertexBuffer, indexBuffer);
    meshStorage->scheduleUpload();
}

Water::~Water()
{
    GraphicsDevice* device = Engine::graphicsDevice;
    for (GraphicsResource* resource :
         std::initializer_list<GraphicsResource*>{pipeline, optPipeline, depthPipeline, setA, setB, setC, depthSet,
                                                  mesh, meshStorage}) {
        device->releaseResource(resource);
    }
    delete paramSlot;
    delete optParamSlot;
}

void Water::createDataSets(Camera* camera)
{
    if (!camera) throw std::runtime_error("Water: no camera");
    if (!world || !world->sky || !world->terrain || !world->sceneDepthCopyBinding || !world->surfaceDepthBinding) {
        throw std::runtime_error(
            "Water: the sky, the terrain and the scene targets must exist before the water's data sets");
    }
    GraphicsDevice* device = Engine::graphicsDevice;
    // Made once per world; a second call replaces the sets rather than leaking them.
    for (DataSet* old : {setA, setB, setC, depthSet}) device->releaseResource(old);

    const Skybox* sky = world->sky;
    const Terrain* terrain = world->terrain;
    setA = createPassDataSet({slotBinding(0, camera->uniformSlot, Owner), slotBinding(1, sky->paramSlot, Owner),
                              slotBinding(2, paramSlot, Owner)});
    setB = createPassDataSet({slotBinding(0, camera->uniformSlot, Owner), slotBinding(1, sky->sunSlot, Owner),
                              slotBinding(2, optParamSlot, Owner)});
    setC = createPassDataSet({imageBinding(3, terrain->prepassColorBinding, Owner),
                              imageBinding(4, terrain->prepassDepthBinding, Owner),
                              imageBinding(5, world->sceneDepthCopyBinding, Owner)});
    depthSet = createPassDataSet({imageBinding(0, world->surfaceDepthBinding, Owner)});
}

void Water::drawSettings()
{
    drawWaterSettings(params);
}
