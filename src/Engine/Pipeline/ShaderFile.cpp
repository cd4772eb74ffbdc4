#include "Engine/Pipeline/ShaderFile.h"

#include "Engine/Helper/FileLimits.h"
#include "Engine/Helper/FileRead.h"
#include "Engine/Helper/LineLimits.h"
#include "Engine/Helper/QuotedText.h"

#include <spirv-tools/libspirv.hpp>

#include <algorithm>
#include <cstring>

SpirvProblem checkSpirv(const u8* bytes, size_t size)
{
    if (size == 0) {
        return SpirvProblem::Empty;
    }
    if (size % 4 != 0) {
        return SpirvProblem::PartialWord;
    }
    u32 magic = 0;
    std::memcpy(&magic, bytes, sizeof(magic));
    if (magic != SpirvMagic) {
        return SpirvProblem::BadMagic;
    }
    return SpirvProblem::None;
}

const char* spirvProblemText(SpirvProblem problem)
{
    switch (problem) {
    case SpirvProblem::None:
        return "";
    case SpirvProblem::Missing:
        return "cannot be opened";
    case SpirvProblem::Empty:
        return "is empty";
    case SpirvProblem::PartialWord:
        return "is not SPIR-V (its size is not a multiple of 4 bytes)";
    case SpirvProblem::BadMagic:
        return "is not SPIR-V (bad magic number)";
    }
    return "is unreadable";
}

std::string spirvValidationProblem(const std::vector<u32>& words)
{
    spvtools::SpirvTools tools(SPV_ENV_VULKAN_1_3);
    std::string first;
    tools.SetMessageConsumer([&first](spv_message_level_t, const char*, const spv_position_t& position,
                                      const char* message) {
        if (first.empty()) {
            // A message may carry the disassembled instruction on further lines, and
            // with it the module's own names and strings.
            std::string text = message;
            std::replace(text.begin(), text.end(), '\n', ' ');
            first = messageText(text, LineLimits::MessageBytes) + " (word " + std::to_string(position.index) + ")";
        }
    });
    if (tools.Validate(words)) {
        return "";
    }
    return first.empty() ? "rejected by the validator" : first;
}

SpirvProblem readSpirvFile(const std::string& path, std::vector<u32>* words, std::string* unreadable)
{
    std::vector<u8> bytes;
    if (std::string problem = readRegularFile(path, &bytes, FileLimits::ShaderFile); !problem.empty()) {
        if (unreadable != nullptr) *unreadable = problem;
        return SpirvProblem::Missing;
    }
    const size_t size = bytes.size();
    SpirvProblem problem = checkSpirv(bytes.data(), size);
    if (problem != SpirvProblem::None) {
        return problem;
    }
    words->assign(size / 4, 0);
    std::memcpy(words->data(), bytes.data(), size);
    return SpirvProblem::None;
}
