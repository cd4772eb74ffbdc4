#include "Engine/Pipeline/ShaderFit.h"

#include "Engine/Helper/QuotedText.h"

#include <optional>

namespace {

struct FormatInfo {
    u32 components = 0;
    bool wide = false; // 64-bit components
    ShaderNumeric numeric = ShaderNumeric::Float;
};

// The components and numeric type of the vertex and colour formats, by the order of
// VkFormat's values: each group lists one layout in its numeric variants.
std::optional<FormatInfo> formatInfo(VkFormat format)
{
    const u32 value = static_cast<u32>(format);
    // UNORM, SNORM, USCALED, SSCALED, UINT, SINT, SRGB
    auto eightBit = [](u32 variant, u32 components) {
        ShaderNumeric numeric = variant == 4   ? ShaderNumeric::UnsignedInt
                                : variant == 5 ? ShaderNumeric::SignedInt
                                               : ShaderNumeric::Float;
        return FormatInfo{components, false, numeric};
    };
    if (value >= VK_FORMAT_R8_UNORM && value <= VK_FORMAT_A8B8G8R8_SRGB_PACK32) {
        static constexpr u32 Components[] = {1, 2, 3, 3, 4, 4, 4}; // R8, RG8, RGB8, BGR8, RGBA8, BGRA8, ABGR8
        const u32 group = (value - VK_FORMAT_R8_UNORM) / 7;
        return eightBit((value - VK_FORMAT_R8_UNORM) % 7, Components[group]);
    }
    // UNORM, SNORM, USCALED, SSCALED, UINT, SINT
    if (value >= VK_FORMAT_A2R10G10B10_UNORM_PACK32 && value <= VK_FORMAT_A2B10G10R10_SINT_PACK32) {
        return eightBit((value - VK_FORMAT_A2R10G10B10_UNORM_PACK32) % 6, 4);
    }
    // UNORM, SNORM, USCALED, SSCALED, UINT, SINT, SFLOAT
    if (value >= VK_FORMAT_R16_UNORM && value <= VK_FORMAT_R16G16B16A16_SFLOAT) {
        const u32 offset = value - VK_FORMAT_R16_UNORM;
        return eightBit(offset % 7, offset / 7 + 1);
    }
    // UINT, SINT, SFLOAT
    if (value >= VK_FORMAT_R32_UINT && value <= VK_FORMAT_R64G64B64A64_SFLOAT) {
        const u32 offset = value - VK_FORMAT_R32_UINT;
        const u32 variant = offset % 3;
        ShaderNumeric numeric = variant == 0   ? ShaderNumeric::UnsignedInt
                                : variant == 1 ? ShaderNumeric::SignedInt
                                               : ShaderNumeric::Float;
        return FormatInfo{offset / 3 % 4 + 1, offset >= 12, numeric};
    }
    if (format == VK_FORMAT_B10G11R11_UFLOAT_PACK32 || format == VK_FORMAT_E5B9G9R9_UFLOAT_PACK32) {
        return FormatInfo{3, false, ShaderNumeric::Float};
    }
    return std::nullopt;
}

bool canBack(ShaderResourceKind kind, VkDescriptorType type)
{
    switch (kind) {
    case ShaderResourceKind::UniformBuffer:
        return type == VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER || type == VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC;
    case ShaderResourceKind::StorageBuffer:
        return type == VK_DESCRIPTOR_TYPE_STORAGE_BUFFER || type == VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC;
    case ShaderResourceKind::CombinedImageSampler:
        return type == VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
    case ShaderResourceKind::SampledImage:
        return type == VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE || type == VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
    case ShaderResourceKind::Sampler:
        return type == VK_DESCRIPTOR_TYPE_SAMPLER || type == VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
    case ShaderResourceKind::StorageImage:
        return type == VK_DESCRIPTOR_TYPE_STORAGE_IMAGE;
    case ShaderResourceKind::UniformTexelBuffer:
        return type == VK_DESCRIPTOR_TYPE_UNIFORM_TEXEL_BUFFER;
    case ShaderResourceKind::StorageTexelBuffer:
        return type == VK_DESCRIPTOR_TYPE_STORAGE_TEXEL_BUFFER;
    case ShaderResourceKind::InputAttachment:
        return type == VK_DESCRIPTOR_TYPE_INPUT_ATTACHMENT;
    case ShaderResourceKind::Other:
        break;
    }
    return false;
}

const char* descriptorTypeName(VkDescriptorType type)
{
    switch (type) {
    case VK_DESCRIPTOR_TYPE_SAMPLER:
        return "sampler";
    case VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER:
        return "combined image sampler";
    case VK_DESCRIPTOR_TYPE_SAMPLED_IMAGE:
        return "sampled image";
    case VK_DESCRIPTOR_TYPE_STORAGE_IMAGE:
        return "storage image";
    case VK_DESCRIPTOR_TYPE_UNIFORM_TEXEL_BUFFER:
        return "uniform texel buffer";
    case VK_DESCRIPTOR_TYPE_STORAGE_TEXEL_BUFFER:
        return "storage texel buffer";
    case VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER:
        return "uniform buffer";
    case VK_DESCRIPTOR_TYPE_STORAGE_BUFFER:
        return "storage buffer";
    case VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC:
        return "dynamic uniform buffer";
    case VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC:
        return "dynamic storage buffer";
    case VK_DESCRIPTOR_TYPE_INPUT_ATTACHMENT:
        return "input attachment";
    default:
        return "descriptor of another type";
    }
}

// "location 2 (inColor)" or "location 2".
std::string slotName(const ShaderSlot& slot)
{
    std::string text = "location " + std::to_string(slot.location);
    if (slot.component != 0) {
        text += " component " + std::to_string(slot.component);
    }
    return slot.name.empty() ? text : text + " (" + escapedText(slot.name) + ")";
}

std::string numericName(ShaderNumeric numeric, bool wide)
{
    return std::string(wide ? "64-bit " : "") + shaderNumericName(numeric);
}

} // namespace

std::string descriptorFitProblem(const ShaderInterface& shader, const std::vector<std::vector<LayoutBinding>>& sets)
{
    // Vulkan wants a matching layout binding only for the resources the entry point
    // statically uses, and only those are listed (in a module before SPIR-V 1.4, whose
    // entry point does not list them, the reader finds them in the functions it runs).
    // So a binding that is declared but never used is not looked at, whatever the layout
    // makes of it. One that is used and that the layout lacks or types otherwise reads a
    // descriptor that is not there or not of its kind, which a driver may crash on: the
    // mark of a shader swapped for another's.
    for (const ShaderResource& resource : shader.resources) {
        std::string what = "set " + std::to_string(resource.set) + " binding " + std::to_string(resource.binding) +
                           (resource.name.empty() ? "" : " (" + escapedText(resource.name) + ")");
        std::string declared = what + " is a " + shaderResourceKindName(resource.kind) + " in the shader";
        if (resource.set >= sets.size()) {
            return declared + ", but the layout has no set " + std::to_string(resource.set);
        }
        const LayoutBinding* found = nullptr;
        for (const LayoutBinding& binding : sets[resource.set]) {
            if (binding.binding == resource.binding) {
                found = &binding;
                break;
            }
        }
        if (found == nullptr) {
            return declared + ", but set " + std::to_string(resource.set) + " of the layout has no binding " +
                   std::to_string(resource.binding);
        }
        if (!canBack(resource.kind, found->type)) {
            return declared + ", but the layout makes it a " + descriptorTypeName(found->type);
        }
        if (resource.count > 1) {
            return what + " is an array of " + std::to_string(resource.count) +
                   " in the shader, but the layout gives it one descriptor";
        }
    }
    return "";
}

std::string pushConstantFitProblem(const ShaderInterface& shader, const std::vector<VkPushConstantRange>& ranges)
{
    if (!shader.hasPushConstants) {
        return "";
    }
    VkShaderStageFlags stage = shader.executionModel == SpirvVertex     ? VK_SHADER_STAGE_VERTEX_BIT
                               : shader.executionModel == SpirvFragment ? VK_SHADER_STAGE_FRAGMENT_BIT
                                                                        : 0;
    bool stageHasRange = false;
    for (const VkPushConstantRange& range : ranges) {
        if ((range.stageFlags & stage) == 0) {
            continue;
        }
        stageHasRange = true;
        if (range.offset <= shader.pushConstantBegin &&
            u64(shader.pushConstantEnd) <= u64(range.offset) + u64(range.size)) {
            return "";
        }
    }
    std::string declared = "it declares push constants in bytes " + std::to_string(shader.pushConstantBegin) +
                           " to " + std::to_string(shader.pushConstantEnd);
    if (!stageHasRange) {
        return declared + ", but the pipeline has no push-constant range for its stage";
    }
    return declared + ", but no push-constant range of the pipeline for its stage holds them";
}

std::string vertexInputFitProblem(const ShaderInterface& vertex,
                                  const std::vector<VkVertexInputAttributeDescription>& attributes)
{
    for (const ShaderSlot& slot : vertex.inputs) {
        const VkVertexInputAttributeDescription* attribute = nullptr;
        for (const VkVertexInputAttributeDescription& candidate : attributes) {
            if (candidate.location == slot.location) {
                attribute = &candidate;
                break;
            }
        }
        if (attribute == nullptr) {
            return "it reads vertex input " + slotName(slot) +
                   ", but the pipeline's vertex layout has no attribute at location " + std::to_string(slot.location);
        }
        std::optional<FormatInfo> format = formatInfo(attribute->format);
        if (!format) {
            continue; // a format this check does not know: left to the driver
        }
        const bool wide = slot.width == 64;
        if (format->numeric != slot.numeric || format->wide != wide) {
            return "it reads vertex input " + slotName(slot) + " as " + numericName(slot.numeric, wide) +
                   ", but the vertex layout gives " + numericName(format->numeric, format->wide) + " (VkFormat " +
                   std::to_string(attribute->format) + ")";
        }
        const u32 last = slot.component + slot.components;
        if (last > format->components || (slot.component == 0 && slot.components != format->components)) {
            return "it reads " + std::to_string(slot.components) + " components of vertex input " + slotName(slot) +
                   ", but the vertex layout gives " + std::to_string(format->components) + " (VkFormat " +
                   std::to_string(attribute->format) + ")";
        }
    }
    return "";
}

std::string colorOutputFitProblem(const ShaderInterface& fragment, const std::vector<VkFormat>& colorFormats,
                                  bool writesColor)
{
    const size_t count = colorFormats.size();
    if (count == 0) {
        return "";
    }
    bool writesAttachment = false;
    for (const ShaderSlot& slot : fragment.outputs) {
        // Vulkan discards an output at a location that has no attachment (the validation
        // layers may warn), so a shader made for a pass of more targets, such as the
        // water's second one, still draws the targets this pass has.
        if (slot.location >= count) {
            continue;
        }
        writesAttachment = true;
        // A value of another numeric type than the attachment's format leaves the
        // attachment undefined in Vulkan: the shader was made for another target.
        std::optional<FormatInfo> format = formatInfo(colorFormats[slot.location]);
        if (format && format->numeric != slot.numeric) {
            return "it writes colour output " + slotName(slot) + " as " + shaderNumericName(slot.numeric) +
                   ", but that attachment holds " + shaderNumericName(format->numeric) + " values (VkFormat " +
                   std::to_string(colorFormats[slot.location]) + ")";
        }
    }
    // Vulkan lets a shader leave attachments unwritten: they get undefined values, or
    // keep theirs where colour writes are off. So a shader made for a pass of fewer
    // targets is not refused. One that writes none of them while the pipeline writes
    // colour draws nothing but undefined values: that is a depth-only shader, such as the
    // shadow pass's, put in a colour pass.
    if (writesColor && !writesAttachment) {
        const std::string where = count == 1 ? "location 0" : "locations 0 to " + std::to_string(count - 1);
        return "it writes no colour output at " + where + ", where the pass has its colour attachment" +
               (count == 1 ? "" : "s") + ", so all it would draw is undefined";
    }
    return "";
}

std::string stageLinkProblem(const ShaderInterface& vertex, const ShaderInterface& fragment)
{
    for (const ShaderSlot& input : fragment.inputs) {
        // The output that holds the components the input reads (vectors may share a
        // location, each at its own component).
        const ShaderSlot* output = nullptr;
        const ShaderSlot* sameLocation = nullptr;
        for (const ShaderSlot& candidate : vertex.outputs) {
            if (candidate.location != input.location) {
                continue;
            }
            sameLocation = sameLocation != nullptr ? sameLocation : &candidate;
            if (candidate.component <= input.component &&
                input.component + input.components <= candidate.component + candidate.components) {
                output = &candidate;
                break;
            }
        }
        if (sameLocation == nullptr) {
            return "it reads input " + slotName(input) + ", which the vertex shader does not write";
        }
        if (output == nullptr) {
            return "it reads " + std::to_string(input.components) + " components of input " + slotName(input) +
                   ", but the vertex shader writes " + std::to_string(sameLocation->components);
        }
        if (output->numeric != input.numeric || output->width != input.width) {
            return "it reads input " + slotName(input) + " as " + numericName(input.numeric, input.width == 64) +
                   ", but the vertex shader writes " + numericName(output->numeric, output->width == 64);
        }
    }
    return "";
}
