#include "Engine/Pipeline/ShaderFile.h"

#include <cstring>
#include <filesystem>
#include <fstream>

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

SpirvProblem readSpirvFile(const std::string& path, std::vector<u32>* words)
{
    // A directory "opens" as a stream of unknown length: only regular files are read.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return SpirvProblem::Missing;
    }
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file.is_open()) {
        return SpirvProblem::Missing;
    }
    std::streamoff end = file.tellg();
    if (end < 0) {
        return SpirvProblem::Missing;
    }
    size_t size = static_cast<size_t>(end);
    std::vector<u8> bytes(size, 0);
    file.seekg(0);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    if (!file) {
        return SpirvProblem::Missing;
    }
    SpirvProblem problem = checkSpirv(bytes.data(), size);
    if (problem != SpirvProblem::None) {
        return problem;
    }
    words->assign(size / 4, 0);
    std::memcpy(words->data(), bytes.data(), size);
    return SpirvProblem::None;
}
