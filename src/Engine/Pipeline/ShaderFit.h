#pragma once

#include "Engine/Descriptor/DescriptorLayout.h"
#include "Engine/Pipeline/SpirvInterface.h"

#include <vulkan/vulkan.h>

#include <string>
#include <vector>

// Whether a shader fits the pipeline it is put in, judged from its interface before the
// driver sees it (a driver given a shader that reads a binding or an input the pipeline
// does not provide may crash, or draw nothing). Each check returns "" when the shader
// fits, else one sentence saying what does not.

// Every descriptor binding the shader uses is in the layout, in the set and at the
// binding it names, with a descriptor type that can back it (a uniform block takes a
// uniform buffer, dynamic or not; a sampler2D a combined image sampler; ...), and is not
// an array of more descriptors than the layout's one. Bindings of the layout that the
// shader does not use are fine, and so are bindings the shader declares but never uses.
std::string descriptorFitProblem(const ShaderInterface& shader, const std::vector<std::vector<LayoutBinding>>& sets);

// The push-constant block the shader declares lies within one range of the pipeline
// whose stages include the shader's.
std::string pushConstantFitProblem(const ShaderInterface& shader, const std::vector<VkPushConstantRange>& ranges);

// Every vertex input has an attribute at its location whose format gives the numeric
// type the shader reads (float, signed or unsigned integer; 64-bit or not) and as many
// components as the shader reads. Attributes the shader does not read are fine.
std::string vertexInputFitProblem(const ShaderInterface& vertex,
                                  const std::vector<VkVertexInputAttributeDescription>& attributes);

// With colour attachments, the fragment shader writes at least one of them when colour
// writes are on, and writes each with the numeric type of the attachment's format.
// Attachments it leaves unwritten and outputs past the attachments are fine (Vulkan
// leaves the one undefined and discards the other). A depth-only pass takes any fragment
// shader: there is no colour to write.
std::string colorOutputFitProblem(const ShaderInterface& fragment, const std::vector<VkFormat>& colorFormats,
                                  bool writesColor);

// Every input of the fragment shader is written by the vertex shader: an output at the
// same location holds the components it reads, with the same numeric type.
std::string stageLinkProblem(const ShaderInterface& vertex, const ShaderInterface& fragment);
