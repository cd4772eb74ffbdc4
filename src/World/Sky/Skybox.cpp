#include "World/Sky/Skybox.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Engine/Window/Input.h"
#include "World/Sky/PassSetup.h"
#include "World/Sky/SkySettings.h"
#include "World/Sky/SkyTables.h"
#include "World/Sky/SunControl.h"
#include "World/World.h"

#include <initializer_list>
#include <stdexcept>

namespace {

// The sky pass tests its cube, drawn on the far plane, against the scene's depth
// without writing it: the sky's draw keeps to the pixels where the scene is empty (its
// depth still the cleared far plane), the haze's to those the scene drew.
constexpr const char* SkyLayout = "UBD_0+UBD_1+UBD_2 CIS_3+CIS_4+CIS_5+CIS_6+CIS_7";
constexpr PassPipelineDesc SkyPipelineDesc{"shaders/skyboxVert.spv", "shaders/skyboxFrag.spv", SkyLayout, false,
                                           true, true, VK_COMPARE_OP_LESS_OR_EQUAL};
constexpr PassPipelineDesc SkyOptPipelineDesc{"shaders/skyboxVertOpt.spv", "shaders/skyboxFragOpt.spv", SkyLayout,
                                              false, true, true, VK_COMPARE_OP_LESS_OR_EQUAL};
constexpr PassPipelineDesc HazePipelineDesc{"shaders/skyboxVert.spv", "shaders/skyboxHazeFrag.spv", SkyLayout, false,
                                            true, true, VK_COMPARE_OP_GREATER};
constexpr PassPipelineDesc HazeOptPipelineDesc{"shaders/skyboxVertOpt.spv", "shaders/skyboxHazeFragOpt.spv",
                                               SkyLayout, false, true, true, VK_COMPARE_OP_GREATER};

// The star cube map's faces in layer order +X, -X, +Y, -Y, +Z, -Z.
const char* const StarFaces[6] = {"stars_right1.dds", "stars_left2.dds",  "stars_top3.dds",
                                  "stars_bottom4.dds", "stars_front5.dds", "stars_back6.dds"};

// The cube around the camera: 285 units to each face, well inside the near plane's
// reach and the far plane in both of the camera's plane settings.
constexpr f32 CubeSide = 570.0f;
constexpr u32 MeshStorageBytes = 1000; // per half: the cube's three streams and indices

constexpr u32 PlacementBytes = sizeof(glm::mat4);
constexpr u32 SunBytes = sizeof(glm::vec3);

constexpr const char* Owner = "Skybox";

VkSamplerCreateInfo skySamplerInfo()
{
    VkSamplerCreateInfo info = samplerClampToEdge();
    info.borderColor = VK_BORDER_COLOR_FLOAT_TRANSPARENT_BLACK;
    return info;
}

} // namespace

Skybox::Skybox(Camera* camera)
{
    if (!camera) throw std::runtime_error("Skybox: no camera");
    if (!world) throw std::runtime_error("Skybox: the world's render targets must exist first");
    GraphicsDevice* device = Engine::graphicsDevice;

    const AttachmentFormats formats{{Engine::swapChain->format}, world->sceneDepth->format};
    pipeline = createPassPipeline(SkyPipelineDesc, vertexLayoutPosNormalUv, formats);
    optPipeline = createPassPipeline(SkyOptPipelineDesc, vertexLayoutPosNormalUv, formats);
    hazePipeline = createPassPipeline(HazePipelineDesc, vertexLayoutPosNormalUv, formats);
    hazeOptPipeline = createPassPipeline(HazeOptPipelineDesc, vertexLayoutPosNormalUv, formats);

    sampler = new Sampler(device, skySamplerInfo());
    stars = ImageCube::load(StarFaces);
    starBinding = new ImageBinding(stars->view, sampler);

    meshStorage = new DsDeviceMeshSingle(device, MeshStorageBytes);
    meshStorage->switchHalf();
    cube = new Cube(meshStorage, CubeSide, CubeSide, CubeSide);
    meshStorage->scheduleUpload();

    placementSlot = createFrameSlot(PlacementBytes);
    paramSlot = createFrameSlot(sizeof(SkyboxParams));
    sunSlot = createFrameSlot(SunBytes);

    setA = createPassDataSet({slotBinding(0, camera->uniformSlot, Owner), slotBinding(1, paramSlot, Owner),
                              slotBinding(2, placementSlot, Owner)});
    setB = createPassDataSet({slotBinding(0, camera->uniformSlot, Owner), slotBinding(1, sunSlot, Owner),
                              slotBinding(2, placementSlot, Owner)});
    tables = new SkyTables(camera, paramSlot, sunSlot, sampler);
    setC = createPassDataSet({imageBinding(3, starBinding, Owner), imageBinding(4, world->sceneColorBinding, Owner),
                              imageBinding(5, world->sceneDepthBinding, Owner),
                              imageBinding(6, tables->inscatterBinding, Owner),
                              imageBinding(7, tables->transmittanceBinding, Owner)});
}

Skybox::~Skybox()
{
    GraphicsDevice* device = Engine::graphicsDevice;
    for (GraphicsResource* resource : std::initializer_list<GraphicsResource*>{
             pipeline, optPipeline, hazePipeline, hazeOptPipeline, setA, setB, setC, stars, cube, meshStorage, sampler}) {
        device->releaseResource(resource);
    }
    delete tables;
    delete starBinding;
    delete placementSlot;
    delete paramSlot;
    delete sunSlot;
}

void Skybox::update(f32 frameMs, Camera* camera)
{
    const Input* input = Engine::input;
    const SunKeys keys{input->isDown(Key::Left), input->isDown(Key::Right), input->isDown(Key::Shift)};
    sunAngle = turnSun(sunAngle, keys, frameMs);
    params.sunDirection = sunDirectionOf(sunAngle);
    uploadSlot(paramSlot, &params);

    sunBlock = params.sunDirection;
    uploadSlot(sunSlot, &sunBlock);

    // The cube always surrounds the camera.
    glm::mat4 placement(1.0f);
    placement[3] = glm::vec4(camera->position, 1.0f);
    uploadSlot(placementSlot, &placement);
}

void Skybox::drawSettings()
{
    drawSkySettings(params);
}
