#pragma once

// A shader module that reaches a storage buffer only through a global's initializer,
// for the unit tests of the shader checks and for the pipeline's GPU tests.

#include <spirv-tools/libspirv.hpp>

#include <cstdint>
#include <string>
#include <vector>

// A fragment module of SPIR-V 1.3 whose main reads a storage buffer at set 0 binding 3
// through a private global initialised with a pointer to it (with `chained`, through a
// global initialised with that global), which the capability
// VariablePointersStorageBuffer allows. Its entry point lists only its output, and main
// names only the outermost global. The validator takes it. Empty if it did not assemble.
inline std::vector<uint32_t> variablePointerModule(bool chained)
{
    const std::string outer =
        chained ? "%ppps = OpTypePointer Private %pps\n%outer = OpVariable %ppps Private %holder\n" : "";
    const std::string load =
        chained ? "%h = OpLoad %pps %outer\n%p = OpLoad %ps %h\n" : "%p = OpLoad %ps %holder\n";
    const std::string text =
        "OpCapability Shader\nOpCapability VariablePointersStorageBuffer\nOpMemoryModel Logical GLSL450\n"
        "OpEntryPoint Fragment %main \"main\" %out\nOpExecutionMode %main OriginUpperLeft\n"
        "OpDecorate %out Location 0\nOpDecorate %S Block\nOpMemberDecorate %S 0 Offset 0\n"
        "OpDecorate %buffer DescriptorSet 0\nOpDecorate %buffer Binding 3\n"
        "%void = OpTypeVoid\n%fn = OpTypeFunction %void\n%float = OpTypeFloat 32\n%v4 = OpTypeVector %float 4\n"
        "%int = OpTypeInt 32 1\n%zero = OpConstant %int 0\n%S = OpTypeStruct %v4\n"
        "%ps = OpTypePointer StorageBuffer %S\n%pv4 = OpTypePointer StorageBuffer %v4\n"
        "%pps = OpTypePointer Private %ps\n%pout = OpTypePointer Output %v4\n"
        "%buffer = OpVariable %ps StorageBuffer\n%holder = OpVariable %pps Private %buffer\n"
        "%out = OpVariable %pout Output\n" +
        outer + "%main = OpFunction %void None %fn\n%entry = OpLabel\n" + load +
        "%a = OpAccessChain %pv4 %p %zero\n%x = OpLoad %v4 %a\nOpStore %out %x\nOpReturn\nOpFunctionEnd\n";
    std::vector<uint32_t> words;
    spvtools::SpirvTools tools(SPV_ENV_VULKAN_1_3);
    if (!tools.Assemble(text, &words) || words.size() < 5) {
        return {};
    }
    words[1] = 0x00010300u; // SPIR-V 1.3: the entry point lists no bindings
    return words;
}
