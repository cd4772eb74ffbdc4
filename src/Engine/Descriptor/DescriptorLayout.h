#pragma once

#include "Engine/Types.h"

#include <vulkan/vulkan.h>

#include <string>
#include <vector>

// The descriptor-layout language: "UBD_0+UBD_1+CIS_3 SBD_4" describes set 0 with
// bindings 0, 1 (uniform dynamic) and 3 (combined image sampler) and set 1 with
// binding 4 (storage dynamic). Sets are split at ' ', bindings at '+', prefix and
// number at '_'. Pure parsing, no Vulkan objects are made here.
using DescriptorLayoutString = std::string;

struct LayoutBinding {
    u32 binding = 0;
    VkDescriptorType type = VK_DESCRIPTOR_TYPE_SAMPLER;
};

// The descriptor type of a binding prefix: UBD, SBD, CIS, IA; any other word is SAMPLER.
VkDescriptorType descriptorTypeOfPrefix(const std::string& prefix);

// One list of bindings per set. A binding number that std::stoi cannot read throws
// std::invalid_argument, one out of range std::out_of_range; a token without '_'
// throws std::invalid_argument.
std::vector<std::vector<LayoutBinding>> parseDescriptorLayout(const DescriptorLayoutString& layout);

// Pool sizes of a pool string ("UBD_100+SBD_100"): UBD, SBD and CIS tokens add their
// counts in token order; other tokens add nothing.
std::vector<VkDescriptorPoolSize> parsePoolSizes(const std::string& poolString);
