#pragma once

#include "Engine/Pipeline/SpirvInterface.h"

#include <string>

// What the device was created with that lets a shader declare more capabilities than
// those every Vulkan 1.3 device takes. The device fills it in when it is created.
struct ShaderFeatures {
    bool runtimeDescriptorArray = false; // arrays of descriptors of unknown size
    u32 subgroupOperations = 0;          // the device's VkSubgroupFeatureFlags
};

// "" when the device takes every capability the shader's module declares, else one
// phrase naming the first it does not take by its SPIR-V name ("uses the capability
// VariablePointersStorageBuffer, which the device was not created with"). A driver
// given a module with a capability it was not created with may do anything with it;
// such a module is a shader made for another device, or broken on purpose.
std::string capabilityProblem(const ShaderInterface& shader, const ShaderFeatures& features);
