#pragma once

#include "Engine/Types.h"

#include <string>
#include <vector>

// What can be wrong with a shader file before Vulkan ever sees it.
enum class SpirvProblem {
    None,
    Missing,      // the file does not open
    Empty,        // zero bytes
    PartialWord,  // the size is not a multiple of four bytes
    BadMagic,     // the first word is not the SPIR-V magic number
};

constexpr u32 SpirvMagic = 0x07230203u;

// Checks the bytes of a shader file.
SpirvProblem checkSpirv(const u8* bytes, size_t size);

// A short description of the problem ("" for None).
const char* spirvProblemText(SpirvProblem problem);

// Runs the SPIR-V validator (Vulkan 1.3 rules) over a module. Empty when the module is
// valid, else the validator's first message on one line. A module with a valid header
// and a garbage body must never reach the driver, which trusts it.
std::string spirvValidationProblem(const std::vector<u32>& words);

// Reads a SPIR-V file into 32-bit words (the alignment vkCreateShaderModule wants).
// Returns the problem found; `words` is filled only when there is none. For a file that
// cannot be read (Missing), `unreadable` gets why, as a phrase to follow the file's name
// ("cannot be opened (No such file or directory)", "is a directory, not a regular
// file", ...).
SpirvProblem readSpirvFile(const std::string& path, std::vector<u32>* words, std::string* unreadable = nullptr);
