#include "Game/Buildings/BdPortal.h"

#include "Engine/Descriptor/DataSet.h"
#include "Engine/Engine.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Mesh/ModelLoader.h"
#include "Game/Buildings/BdPortalInstance.h"
#include "Game/Buildings/BuildingPipelines.h"
#include "Game/EntityTypes/EntityTypes.h"

#include <nlohmann/json.hpp>

namespace BdPortalShaders {
constexpr const char* PortalVertex = "shaders/portalVert.spv";
constexpr const char* PortalFragment = "shaders/portalFrag.spv";
constexpr const char* PortalLayout = "UBD_0+UBD_1+UBD_2+CIS_3 SBD_4";
constexpr const char* FrameVertex = "shaders/portalFrameVert.spv";
constexpr const char* FrameFragment = "shaders/portalFrameFrag.spv";
constexpr const char* FrameLayout = "UBD_0+UBD_1+UBD_2+CIS_3 SBD_4 CIS_5";
} // namespace BdPortalShaders

BdPortal::BdPortal() : Building(BuildingTypePortal)
{
    buildingTypes[typeIndex] = this;
    inToolBar = false;
    loadConfig();
    loadModel();
    createPipelines();
}

BdPortal::~BdPortal()
{
    // The GPU objects go with the device; the binding is plain memory.
    delete frameColorBinding;
}

void BdPortal::loadConfig()
{
    config = loadBuildingRecord<BuildingConfig>(ConfigPath, loadBuildingFile(ConfigPath));
}

void BdPortal::loadModel()
{
    VkSamplerCreateInfo info = samplerClampToEdge();
    info.borderColor = VK_BORDER_COLOR_FLOAT_TRANSPARENT_BLACK;
    frameSampler = new Sampler(Engine::graphicsDevice, info);
    frameColor = Image2D::fromTexture(FrameColorPath, true);
    frameColorBinding = new ImageBinding(frameColor->view, frameSampler);
    frameColorSet = new DataSet(Engine::graphicsDevice, Engine::descriptorPool,
                                {{5, DataSetImage, frameColorBinding}});

    const std::vector<Mesh*> meshes =
        ModelLoader::load(ModelPath, vertexLayoutPosNormalUv, {{"Portal", vertexLayoutPosNormalColorUv}});
    frameMesh = ModelLoader::requireMesh(meshes, "PortalFrame", ModelPath);
    portalMesh = ModelLoader::requireMesh(meshes, "Portal", ModelPath);
}

void BdPortal::createPipelines()
{
    using namespace BdPortalShaders;
    BuildingPipelineDesc surface;
    surface.vertexShader = PortalVertex;
    surface.fragmentShader = PortalFragment;
    surface.vertexLayout = vertexLayoutPosNormalColorUv;
    surface.descriptorLayout = PortalLayout;
    surface.pushConstants = {{VK_SHADER_STAGE_FRAGMENT_BIT, 0, sizeof(f32)}};
    portalPipeline = createBuildingPipeline(surface);

    BuildingPipelineDesc frame;
    frame.vertexShader = FrameVertex;
    frame.fragmentShader = FrameFragment;
    frame.vertexLayout = vertexLayoutPosNormalUv;
    frame.descriptorLayout = FrameLayout;
    framePipeline = createBuildingPipeline(frame);
}

std::shared_ptr<BuildingInstance> BdPortal::createInstance(const glm::ivec3& gridPos, f32 rotation)
{
    return std::make_shared<BdPortalInstance>(this, gridPos, rotation, this);
}
