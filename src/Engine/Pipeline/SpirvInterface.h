#pragma once

#include "Engine/Types.h"

#include <string>
#include <vector>

// What a SPIR-V module shows the pipeline it is put in: the descriptor bindings, vertex
// inputs, fragment outputs and push constants of one entry point, read straight from the
// module's words. Pure: no Vulkan, no files. The reader takes any words (it is run on
// modules before and after the validator) and never reads outside them.

// SPIR-V execution models of the stages a pipeline has.
constexpr u32 SpirvVertex = 0;
constexpr u32 SpirvFragment = 4;

// "vertex", "fragment", "compute", ... ("unknown" for models the engine never meets).
const char* spirvStageName(u32 executionModel);

// What a descriptor binding holds, as far as the shader's declaration tells.
enum class ShaderResourceKind {
    UniformBuffer,
    StorageBuffer,
    CombinedImageSampler, // a sampled image type (sampler2D and the like)
    SampledImage,         // an image without its sampler (texture2D)
    Sampler,
    StorageImage,
    UniformTexelBuffer,
    StorageTexelBuffer,
    InputAttachment,
    Other, // acceleration structures and what the engine has no descriptor for
};

const char* shaderResourceKindName(ShaderResourceKind kind);

struct ShaderResource {
    u32 set = 0;
    u32 binding = 0;
    ShaderResourceKind kind = ShaderResourceKind::Other;
    u32 count = 1; // array length of the binding; 0 for an array of unknown size
    std::string name;
};

// The numeric type of an interface component.
enum class ShaderNumeric { Float, SignedInt, UnsignedInt, Other };

const char* shaderNumericName(ShaderNumeric numeric);

// One location of a stage's inputs or outputs: a scalar or vector, or one column or
// element of a larger variable.
struct ShaderSlot {
    u32 location = 0;
    u32 component = 0;  // the first component it occupies (the Component decoration)
    u32 components = 1; // its vector size
    u32 width = 32;     // bits of one component
    ShaderNumeric numeric = ShaderNumeric::Float;
    std::string name;
};

struct ShaderInterface {
    u32 executionModel = 0;
    std::vector<ShaderResource> resources;
    std::vector<ShaderSlot> inputs;  // user inputs (built-ins left out)
    std::vector<ShaderSlot> outputs; // user outputs (built-ins left out)
    bool hasPushConstants = false;
    u32 pushConstantBegin = 0; // the bytes of the push-constant block the shader declares
    u32 pushConstantEnd = 0;
    std::vector<u32> capabilities; // every capability the module declares, once each, in order
};

// Reads the interface of the module's entry point "main" of `executionModel`. Returns ""
// and fills `out`, or says what is missing: no entry point "main" of that stage (naming
// the stage it has, if it has one), or a module too broken or too large to read. Only
// the descriptor bindings and push constants the entry point uses count: modules of
// SPIR-V 1.4 and later list them on the entry point; in older ones, which list only
// inputs and outputs there, they are those named in the entry point's function or in a
// function it calls, and the globals that a global they use is initialised with (a
// pointer to a buffer, which variable pointers allow). The module's capabilities are
// read too (a module that declares more distinct ones than any could is refused).
// Whatever the words, the work is bounded by the module's length and a fixed number of
// steps of the walks over its types.
std::string reflectSpirv(const u32* words, size_t count, u32 executionModel, ShaderInterface* out);
