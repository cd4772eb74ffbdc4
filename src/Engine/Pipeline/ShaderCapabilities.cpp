#include "Engine/Pipeline/ShaderCapabilities.h"

#include <vulkan/vulkan.h>

namespace {

// What a device needs to take a capability.
enum class Needs {
    Nothing, // every Vulkan 1.3 device takes it
    RuntimeDescriptorArray,
    SubgroupVote, // a subgroup operation the device supports
    SubgroupArithmetic,
    SubgroupBallot,
    SubgroupShuffle,
    SubgroupShuffleRelative,
    SubgroupClustered,
    SubgroupQuad,
    OtherFeature, // a feature or extension the game's device is not created with
};

struct KnownCapability {
    u32 value;
    const char* name;
    Needs needs;
};

// The capabilities a Vulkan shader may declare, by their SPIR-V numbers. Those every
// device takes are few: most need a feature enabled when the device is created, even
// where Vulkan 1.3 makes every device support it (a shader declaring it on a device
// that did not enable it is invalid). Those whose feature the game never enables are
// listed only for their names.
constexpr KnownCapability Capabilities[] = {
    {0, "Matrix", Needs::Nothing},
    {1, "Shader", Needs::Nothing},
    {2, "Geometry", Needs::OtherFeature},
    {3, "Tessellation", Needs::OtherFeature},
    {9, "Float16", Needs::OtherFeature},
    {10, "Float64", Needs::OtherFeature},
    {11, "Int64", Needs::OtherFeature},
    {12, "Int64Atomics", Needs::OtherFeature},
    {22, "Int16", Needs::OtherFeature},
    {23, "TessellationPointSize", Needs::OtherFeature},
    {24, "GeometryPointSize", Needs::OtherFeature},
    {25, "ImageGatherExtended", Needs::OtherFeature},
    {27, "StorageImageMultisample", Needs::OtherFeature},
    {28, "UniformBufferArrayDynamicIndexing", Needs::OtherFeature},
    {29, "SampledImageArrayDynamicIndexing", Needs::OtherFeature},
    {30, "StorageBufferArrayDynamicIndexing", Needs::OtherFeature},
    {31, "StorageImageArrayDynamicIndexing", Needs::OtherFeature},
    {32, "ClipDistance", Needs::OtherFeature},
    {33, "CullDistance", Needs::OtherFeature},
    {34, "ImageCubeArray", Needs::OtherFeature},
    {35, "SampleRateShading", Needs::OtherFeature},
    {39, "Int8", Needs::OtherFeature},
    {40, "InputAttachment", Needs::Nothing},
    {41, "SparseResidency", Needs::OtherFeature},
    {42, "MinLod", Needs::OtherFeature},
    {43, "Sampled1D", Needs::Nothing},
    {44, "Image1D", Needs::Nothing},
    {45, "SampledCubeArray", Needs::OtherFeature},
    {46, "SampledBuffer", Needs::Nothing},
    {47, "ImageBuffer", Needs::Nothing},
    {48, "ImageMSArray", Needs::OtherFeature},
    {49, "StorageImageExtendedFormats", Needs::Nothing},
    {50, "ImageQuery", Needs::Nothing},
    {51, "DerivativeControl", Needs::Nothing},
    {52, "InterpolationFunction", Needs::OtherFeature},
    {53, "TransformFeedback", Needs::OtherFeature},
    {54, "GeometryStreams", Needs::OtherFeature},
    {55, "StorageImageReadWithoutFormat", Needs::OtherFeature},
    {56, "StorageImageWriteWithoutFormat", Needs::OtherFeature},
    {57, "MultiViewport", Needs::OtherFeature},
    {61, "GroupNonUniform", Needs::Nothing}, // the basic operations every device has
    {62, "GroupNonUniformVote", Needs::SubgroupVote},
    {63, "GroupNonUniformArithmetic", Needs::SubgroupArithmetic},
    {64, "GroupNonUniformBallot", Needs::SubgroupBallot},
    {65, "GroupNonUniformShuffle", Needs::SubgroupShuffle},
    {66, "GroupNonUniformShuffleRelative", Needs::SubgroupShuffleRelative},
    {67, "GroupNonUniformClustered", Needs::SubgroupClustered},
    {68, "GroupNonUniformQuad", Needs::SubgroupQuad},
    {69, "ShaderLayer", Needs::OtherFeature},
    {70, "ShaderViewportIndex", Needs::OtherFeature},
    {4427, "DrawParameters", Needs::OtherFeature},
    {4433, "StorageBuffer16BitAccess", Needs::OtherFeature},
    {4434, "UniformAndStorageBuffer16BitAccess", Needs::OtherFeature},
    {4435, "StoragePushConstant16", Needs::OtherFeature},
    {4436, "StorageInputOutput16", Needs::OtherFeature},
    {4437, "DeviceGroup", Needs::Nothing},
    {4439, "MultiView", Needs::OtherFeature},
    {4441, "VariablePointersStorageBuffer", Needs::OtherFeature},
    {4442, "VariablePointers", Needs::OtherFeature},
    {4448, "StorageBuffer8BitAccess", Needs::OtherFeature},
    {4449, "UniformAndStorageBuffer8BitAccess", Needs::OtherFeature},
    {4450, "StoragePushConstant8", Needs::OtherFeature},
    {5301, "ShaderNonUniform", Needs::Nothing},
    {5302, "RuntimeDescriptorArray", Needs::RuntimeDescriptorArray},
    {5303, "InputAttachmentArrayDynamicIndexing", Needs::OtherFeature},
    {5304, "UniformTexelBufferArrayDynamicIndexing", Needs::OtherFeature},
    {5305, "StorageTexelBufferArrayDynamicIndexing", Needs::OtherFeature},
    {5306, "UniformBufferArrayNonUniformIndexing", Needs::OtherFeature},
    {5307, "SampledImageArrayNonUniformIndexing", Needs::OtherFeature},
    {5308, "StorageBufferArrayNonUniformIndexing", Needs::OtherFeature},
    {5309, "StorageImageArrayNonUniformIndexing", Needs::OtherFeature},
    {5310, "InputAttachmentArrayNonUniformIndexing", Needs::OtherFeature},
    {5311, "UniformTexelBufferArrayNonUniformIndexing", Needs::OtherFeature},
    {5312, "StorageTexelBufferArrayNonUniformIndexing", Needs::OtherFeature},
    {5345, "VulkanMemoryModel", Needs::OtherFeature},
    {5346, "VulkanMemoryModelDeviceScope", Needs::OtherFeature},
    {5347, "PhysicalStorageBufferAddresses", Needs::OtherFeature},
    {5379, "DemoteToHelperInvocation", Needs::OtherFeature},
    {6016, "DotProductInputAll", Needs::OtherFeature},
    {6017, "DotProductInput4x8Bit", Needs::OtherFeature},
    {6018, "DotProductInput4x8BitPacked", Needs::OtherFeature},
    {6019, "DotProduct", Needs::OtherFeature},
};

bool deviceTakes(Needs needs, const ShaderFeatures& features)
{
    auto subgroup = [&features](VkSubgroupFeatureFlagBits operation) {
        return (features.subgroupOperations & operation) != 0;
    };
    switch (needs) {
    case Needs::Nothing:
        return true;
    case Needs::RuntimeDescriptorArray:
        return features.runtimeDescriptorArray;
    case Needs::SubgroupVote:
        return subgroup(VK_SUBGROUP_FEATURE_VOTE_BIT);
    case Needs::SubgroupArithmetic:
        return subgroup(VK_SUBGROUP_FEATURE_ARITHMETIC_BIT);
    case Needs::SubgroupBallot:
        return subgroup(VK_SUBGROUP_FEATURE_BALLOT_BIT);
    case Needs::SubgroupShuffle:
        return subgroup(VK_SUBGROUP_FEATURE_SHUFFLE_BIT);
    case Needs::SubgroupShuffleRelative:
        return subgroup(VK_SUBGROUP_FEATURE_SHUFFLE_RELATIVE_BIT);
    case Needs::SubgroupClustered:
        return subgroup(VK_SUBGROUP_FEATURE_CLUSTERED_BIT);
    case Needs::SubgroupQuad:
        return subgroup(VK_SUBGROUP_FEATURE_QUAD_BIT);
    case Needs::OtherFeature:
        break;
    }
    return false;
}

} // namespace

std::string capabilityProblem(const ShaderInterface& shader, const ShaderFeatures& features)
{
    for (u32 capability : shader.capabilities) {
        const KnownCapability* known = nullptr;
        for (const KnownCapability& candidate : Capabilities) {
            if (candidate.value == capability) {
                known = &candidate;
                break;
            }
        }
        if (known != nullptr && deviceTakes(known->needs, features)) {
            continue;
        }
        const std::string name = known != nullptr ? known->name : std::to_string(capability);
        return "uses the capability " + name + ", which the device was not created with";
    }
    return "";
}
