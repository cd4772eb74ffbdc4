#include "Engine/Ui/UiRenderer.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Descriptor/DescriptorSet.h"
#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Image/Image.h"
#include "Engine/Image/Sampler.h"
#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Pipeline/Pipeline.h"
#include "Engine/Storage/DataStorage.h"
#include "Engine/Ui/UiLayoutFile.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Engine/Window/Window.h"

#include <imgui.h>
#include <imgui_internal.h>
#include <backends/imgui_impl_glfw.h>

UiRenderer* uiRenderer = nullptr;

namespace {

constexpr u32 UiStorageSize = 1000000;

// The push-constant block of the interface vertex shader.
struct UiTransform {
    f32 scale[2];
    f32 translate[2];
};

void applyStyle()
{
    ImGui::StyleColorsDark();
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowMinSize = ImVec2(10, 10);
    ImVec4* colors = style.Colors;
    colors[ImGuiCol_FrameBg] = ImVec4(0.37f, 0.37f, 0.37f, 0.54f);
    colors[ImGuiCol_FrameBgHovered] = ImVec4(0.53f, 0.53f, 0.53f, 0.40f);
    colors[ImGuiCol_FrameBgActive] = ImVec4(0.56f, 0.56f, 0.56f, 0.67f);
    colors[ImGuiCol_TitleBgActive] = ImVec4(0.46f, 0.46f, 0.46f, 1.00f);
    colors[ImGuiCol_CheckMark] = ImVec4(1.00f, 1.00f, 1.00f, 1.00f);
    colors[ImGuiCol_SliderGrab] = ImVec4(0.60f, 0.60f, 0.60f, 1.00f);
    colors[ImGuiCol_SliderGrabActive] = ImVec4(0.71f, 0.71f, 0.71f, 1.00f);
    colors[ImGuiCol_Button] = ImVec4(0.39f, 0.39f, 0.39f, 1.00f);
    colors[ImGuiCol_ButtonHovered] = ImVec4(0.50f, 0.50f, 0.50f, 1.00f);
    colors[ImGuiCol_ButtonActive] = ImVec4(0.59f, 0.59f, 0.59f, 1.00f);
    colors[ImGuiCol_Header] = ImVec4(0.62f, 0.62f, 0.62f, 0.31f);
    colors[ImGuiCol_HeaderHovered] = ImVec4(0.68f, 0.68f, 0.68f, 0.50f);
    colors[ImGuiCol_HeaderActive] = ImVec4(0.69f, 0.69f, 0.70f, 0.73f);
    colors[ImGuiCol_Separator] = ImVec4(0.73f, 0.73f, 0.73f, 0.50f);
    colors[ImGuiCol_SeparatorHovered] = ImVec4(0.64f, 0.64f, 0.64f, 0.78f);
    colors[ImGuiCol_SeparatorActive] = ImVec4(0.70f, 0.70f, 0.70f, 1.00f);
    colors[ImGuiCol_ResizeGrip] = ImVec4(0.73f, 0.73f, 0.73f, 0.51f);
    colors[ImGuiCol_ResizeGripHovered] = ImVec4(0.81f, 0.81f, 0.81f, 0.62f);
    colors[ImGuiCol_ResizeGripActive] = ImVec4(0.89f, 0.89f, 0.89f, 0.74f);
    colors[ImGuiCol_Tab] = ImVec4(0.39f, 0.39f, 0.39f, 1.00f);
    colors[ImGuiCol_TabHovered] = ImVec4(0.50f, 0.50f, 0.50f, 0.80f);
    colors[ImGuiCol_TabActive] = ImVec4(0.55f, 0.55f, 0.55f, 1.00f);
}

DescriptorSet* imageSamplerSet(ImageView* view, Sampler* sampler)
{
    DescriptorEntry entry;
    entry.binding = 0;
    entry.kind = DescriptorImageSampler;
    entry.a = reinterpret_cast<u64>(view);
    entry.b = reinterpret_cast<u64>(sampler);
    return new DescriptorSet(Engine::graphicsDevice, Engine::descriptorPool, {entry});
}

} // namespace

UiRenderer::UiRenderer()
{
    GraphicsDevice* device = Engine::graphicsDevice;

    ImGui::CreateContext();
    UiLayoutFile::load();
    applyStyle();
    ImGui_ImplGlfw_InitForVulkan(Engine::window->handle, true);
    ImGuiIO& io = ImGui::GetIO();
    io.BackendRendererName = "Brackenhold";
    // Draw commands may start past vertex 65535 of their list: 16-bit indices then
    // count from the command's vertex offset, which render() honours.
    io.BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset;

    pipeline = new Pipeline(device);
    pipeline->loadShaderModule("shaders/imguiVert.spv", &pipeline->vertexShader);
    pipeline->loadShaderModule("shaders/imguiFrag.spv", &pipeline->fragmentShader);
    pipeline->setVertexLayout(vertexLayoutUi, true);
    pipeline->setDescriptorLayout("CIS_0");
    pipeline->setPushConstantRanges({{VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof(UiTransform)}});
    pipeline->state->dynamicStates = {VK_DYNAMIC_STATE_SCISSOR, VK_DYNAMIC_STATE_VIEWPORT};
    pipeline->state->cullMode = VK_CULL_MODE_NONE;
    AttachmentFormats formats;
    formats.colorFormats = {Engine::swapChain->format};
    formats.depthFormat = VK_FORMAT_UNDEFINED;
    pipeline->create(formats);

    storage = new DsMeshSingle(UiStorageSize);
    sampler = new Sampler(device, samplerRepeat());
}

void UiRenderer::uploadFonts()
{
    GraphicsDevice* device = Engine::graphicsDevice;
    unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    ImGui::GetIO().Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);

    // A second upload replaces the atlas; the old one goes after the frames using it.
    device->releaseResource(uiRenderer->fontDescriptor);
    device->releaseResource(uiRenderer->fontImage);

    Image2D* image = new Image2D(device, static_cast<u32>(width), static_cast<u32>(height), VK_FORMAT_R8G8B8A8_UNORM,
                                 VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                                 VK_IMAGE_ASPECT_COLOR_BIT, 1, 1, 0);
    image->view = new ImageView(device, image, 1, 1);
    image->addStagingRegion(pixels, static_cast<u64>(width) * static_cast<u64>(height) * 4, static_cast<u32>(width),
                            static_cast<u32>(height), 0, 1, 0);
    image->scheduleUpload();
    uiRenderer->fontImage = image;
    uiRenderer->fontDescriptor = imageSamplerSet(image->view, uiRenderer->sampler);
}

DescriptorSet* UiRenderer::createTextureDescriptor(ImageView* view)
{
    return imageSamplerSet(view, uiRenderer->sampler);
}

void UiRenderer::render(CommandBuffer* commandBuffer)
{
    // Nothing to draw before the first interface frame has begun.
    if (ImGui::GetFrameCount() == 0) {
        return;
    }
    ImGui::Render();
    ImDrawData* data = ImGui::GetDrawData();
    if (data == nullptr || data->TotalVtxCount < 1) {
        return;
    }

    // This frame's geometry goes into the half the frame in flight does not read.
    storage->switchHalf();
    u64 vertexBytes = static_cast<u64>(data->TotalVtxCount) * sizeof(ImDrawVert);
    u64 indexBytes = static_cast<u64>(data->TotalIdxCount) * sizeof(u32);
    // An interface too large for one half is not drawn rather than overrunning it
    // (the slack covers the alignment of the index block).
    if (vertexBytes + indexBytes + 256 > storage->halfSize) {
        return;
    }
    void* vertices = nullptr;
    void* indices = nullptr;
    u32 vertexBase = storage->allocate(NoOffset, &vertices, static_cast<u32>(vertexBytes));
    u32 indexBase = storage->allocate(NoOffset, &indices, static_cast<u32>(indexBytes));
    copyUiGeometry(*data, vertices, static_cast<u32*>(indices));

    VkCommandBuffer handle = commandBuffer->handle;
    commandBuffer->bindPipeline(pipeline);

    f32 width = static_cast<f32>(Engine::window->width);
    f32 height = static_cast<f32>(Engine::window->height);
    VkViewport viewport{0.0f, 0.0f, width, height, 0.0f, 1.0f};
    vkCmdSetViewport(handle, 0, 1, &viewport);

    VkDeviceSize vertexOffset = vertexBase;
    vkCmdBindVertexBuffers(handle, 0, 1, &storage->buffer, &vertexOffset);
    vkCmdBindIndexBuffer(handle, storage->buffer, indexBase, VK_INDEX_TYPE_UINT32);
    // The mesh bound before is no longer bound: the next mesh draw must bind again.
    commandBuffer->lastMesh = nullptr;

    UiTransform transform{{2.0f / data->DisplaySize.x, 2.0f / data->DisplaySize.y}, {-1.0f, -1.0f}};
    vkCmdPushConstants(handle, pipeline->pipelineLayout, VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof(transform.scale),
                       transform.scale);
    vkCmdPushConstants(handle, pipeline->pipelineLayout, VK_SHADER_STAGE_VERTEX_BIT, sizeof(transform.scale),
                       sizeof(transform.translate), transform.translate);

    planUiDraws(*data, width, height, fontDescriptor, &draws);
    for (const UiDraw& draw : draws) {
        if (draw.bindTexture) {
            commandBuffer->pendingSets[commandBuffer->pendingSetCount++] =
                static_cast<DescriptorSet*>(draw.texture)->set;
            commandBuffer->bindDataSets(0);
        }
        VkRect2D scissor{{draw.scissor.x, draw.scissor.y}, {draw.scissor.width, draw.scissor.height}};
        vkCmdSetScissor(handle, 0, 1, &scissor);
        vkCmdDrawIndexed(handle, draw.indexCount, 1, draw.firstIndex, draw.vertexOffset, 0);
    }

    VkRect2D whole{{0, 0}, {static_cast<u32>(Engine::window->width), static_cast<u32>(Engine::window->height)}};
    vkCmdSetScissor(handle, 0, 1, &whole);
}

void endInterfaceFrame()
{
    ImGuiContext* context = ImGui::GetCurrentContext();
    if (context != nullptr && context->WithinFrameScope) {
        ImGui::EndFrame();
    }
}
