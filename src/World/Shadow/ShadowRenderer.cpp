#include "World/Shadow/ShadowRenderer.h"

#include "Engine/Camera/Camera.h"
#include "Engine/Camera/Frustum.h"
#include "Engine/Command/CommandBuffer.h"
#include "Engine/Descriptor/DataSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Fatal.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"
#include "Engine/Settings/Settings.h"
#include "Engine/Storage/DataStorage.h"
#include "World/Shadow/CascadeMath.h"

#include <functional>

namespace {

constexpr glm::vec3 OverheadSun{0.0f, 1.0f, 0.0f};

// Layer `layer` of the map as the depth attachment of a cascade pass, cleared to 1.
void beginCascadePass(CommandBuffer* cmd, Image2DArray* map, u32 layer, VkExtent2D area)
{
    VkRenderingAttachmentInfo depth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    depth.imageView = map->layerViews[layer]->view;
    depth.imageLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL;
    depth.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    depth.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    depth.clearValue.depthStencil = {1.0f, 0};
    VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
    rendering.renderArea = {{0, 0}, area};
    rendering.layerCount = 1;
    rendering.pDepthAttachment = &depth;
    vkCmdBeginRendering(cmd->handle, &rendering);
    cmd->renderExtent = area;
}

} // namespace

ShadowRenderer::ShadowRenderer()
{
    GraphicsDevice* device = Engine::graphicsDevice;
    uniforms.splitExponent = ShadowRules::SplitExponent;
    map = mapFitting(Settings::shadowMapSize);
    compareSampler = new Sampler(device, samplerShadow());
    lightCamera = new Camera();
    uniformSlot = new StorageSlot{Engine::frameUniforms, sizeof(ShadowUniforms), NoOffset};
    mapBinding = new ImageBinding(map->arrayView, compareSampler);
}

ShadowRenderer::~ShadowRenderer()
{
    GraphicsDevice* device = Engine::graphicsDevice;
    device->releaseResource(map);
    device->releaseResource(compareSampler);
    // Tells the data sets that sample the map.
    delete mapBinding;
    delete uniformSlot;
    delete lightCamera;
}

void ShadowRenderer::resizeMap(i32 size)
{
    if (size <= 0) return;
    const u32 side = static_cast<u32>(size);
    if (map->extent.width == side && map->extent.height == side) return;
    Image2DArray* next = mapFitting(size);
    if (next == map) return;
    Engine::graphicsDevice->releaseResource(map);
    map = next;
    mapBinding->view = map->arrayView;
    notifyListeners(mapBinding->listeners, mapBinding);
}

Image2DArray* ShadowRenderer::mapFitting(i32 requested)
{
    GraphicsDevice* device = Engine::graphicsDevice;
    std::string reason;
    for (i32 side : shadowMapCandidates(requested)) {
        const u32 candidateSide = static_cast<u32>(side);
        Image2DArray* candidate = nullptr;
        std::string problem;
        if (map != nullptr && map->extent.width == candidateSide) {
            candidate = map;
        } else {
            problem = imageCreationProblem(device, Image2DArray::createInfo(candidateSide));
            if (problem.empty()) {
                candidate = new Image2DArray(candidateSide, candidateSide, &problem);
                if (!problem.empty()) {
                    device->releaseResource(candidate);
                    candidate = nullptr;
                }
            }
        }
        if (candidate != nullptr) {
            if (side != requested) {
                // The settings follow the map in use: the casters' viewports read its
                // size, and the settings window shows the quality that is drawn.
                printLine(shadowFallbackLine(requested, side, reason));
                Settings::shadowMapSize = side;
                if (i32 quality = shadowQualityOfSize(side); quality >= 0) {
                    Settings::shadowQuality = static_cast<u32>(quality);
                }
            }
            return candidate;
        }
        if (reason.empty()) reason = problem;
    }
    fatalError("Unable to create a shadow map of any quality: " + reason, "ShadowRenderer", __LINE__);
}

f32 ShadowRenderer::cascadeExtent(Camera* gameCamera, u32 i)
{
    const CascadeSplit split = cascadeSplit(gameCamera->near, i);
    return cascadeExtentOf(cascadeViewProjection(gameCamera->fovDegrees, gameCamera->aspect, split, gameCamera->view));
}

void ShadowRenderer::cascadeBounds(const glm::mat4& cascadeViewProjection, const glm::mat4& lightView, f32 out[6])
{
    const LightBounds bounds = lightSpaceBounds(cascadeViewProjection, lightView);
    out[0] = bounds.minX;
    out[1] = bounds.maxX;
    out[2] = bounds.minY;
    out[3] = bounds.maxY;
    out[4] = bounds.nearest;
    out[5] = bounds.farthest;
}

void ShadowRenderer::render(CommandBuffer* cmd, Camera* gameCamera)
{
    // The map follows the shadow-quality setting: the casters' viewports read it too.
    resizeMap(Settings::shadowMapSize);
    if (dirty) {
        dirty = 0;
        for (u32 i = 0; i < CascadeCount; i++) cascadeExtents[i] = cascadeExtent(gameCamera, i);
    }
    const u32 mapWidth = map->extent.width;
    const u32 mapHeight = map->extent.height;

    cmd->imageBarrier(map, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL,
                      VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT, 0,
                      VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT);

    const glm::vec3 sun = sunDirection ? *sunDirection : OverheadSun;
    if (!casterCallback) throw std::bad_function_call();
    cascadesDrawn = 0;
    for (u32 i = 0; i < CascadeCount; i++) {
        // The light camera sits at the world origin: only its direction matters.
        lightCamera->position = glm::vec3(0.0f);
        lightCamera->forward = -sun;
        lightCamera->updateView();

        const CascadeSplit split = cascadeSplit(gameCamera->near, i);
        const glm::mat4 cascade =
            cascadeViewProjection(gameCamera->fovDegrees, gameCamera->aspect, split, gameCamera->view);
        const CascadeFit fit =
            fitCascade(lightSpaceBounds(cascade, lightCamera->view), cascadeExtents[i], mapWidth, mapHeight);

        // The casters are culled against the cascade's tight bounds, cut to where the
        // surfaces in view read this cascade ...
        glm::vec4 casters = fit.exact;
        bool anyReceiver = true;
        casterCoverage.deepest.clear();
        if (receiversKnown) {
            const CascadeSplit range = sampledRange(gameCamera->near, i);
            const LightRect rect =
                receiverRect(receivers, lightCamera->view, gameCamera->position, gameCamera->forward, range);
            const f32 texel = cascadeExtents[i] / static_cast<f32>(mapWidth);
            const f32 margin = ShadowReceiverRules::LookupMarginTexels * texel;
            anyReceiver = casterBounds(fit.exact, rect, margin, casters);
            if (anyReceiver) {
                casterCoverage = receiverCoverage(receivers, lightCamera->view, gameCamera->position,
                                                  gameCamera->forward, range, casters, margin);
            }
        }
        lightCamera->setOrthographic(casters, fit.nearPlane, fit.farPlane);
        Frustum lightFrustum;
        lightFrustum.fromMatrix(lightCamera->uniforms.viewProjection);
        // ... and rendered with the snapped square, whose texels stay put while the
        // camera moves by less than one of them.
        lightCamera->setOrthographic(fit.snapped, fit.nearPlane, fit.farPlane);
        lightCamera->uploadUniforms();

        // The layer is cleared even when nothing in view reads it.
        beginCascadePass(cmd, map, i, {fit.renderWidth, fit.renderHeight});
        if (anyReceiver) {
            casterCallback(cmd, lightCamera, lightFrustum);
            cascadesDrawn |= 1u << i;
        }
        vkCmdEndRendering(cmd->handle);

        uniforms.lightViewProjection[i] = lightCamera->uniforms.viewProjection;
        uniforms.bias[i] = fit.bias;
    }
    casterCoverage.deepest.clear();
    uniformSlot->offset = uniformSlot->storage->write(uniformSlot->offset, &uniforms, sizeof(ShadowUniforms), false);

    cmd->imageBarrier(map, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
                      VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                      VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT);
}
