#include "Engine/Mesh/ModelFiles.h"

#include "Engine/Helper/FileRead.h"

#include <assimp/IOStream.hpp>

#include <algorithm>
#include <cstring>

namespace {

// A file's bytes as the importer reads them: from memory, never past their end.
class MemoryFileStream : public Assimp::IOStream {
public:
    explicit MemoryFileStream(const std::vector<u8>& bytes) : bytes(bytes) {}

    size_t Read(void* buffer, size_t size, size_t count) override
    {
        if (buffer == nullptr || size == 0) return 0;
        const size_t whole = std::min(count, (bytes.size() - position) / size);
        if (whole > 0) std::memcpy(buffer, bytes.data() + position, whole * size);
        position += whole * size;
        return whole;
    }

    size_t Write(const void*, size_t, size_t) override { return 0; }

    aiReturn Seek(size_t offset, aiOrigin origin) override
    {
        const size_t size = bytes.size();
        size_t target = 0;
        switch (origin) {
        case aiOrigin_SET: target = offset; break;
        case aiOrigin_CUR:
            if (offset > size - position) return AI_FAILURE;
            target = position + offset;
            break;
        case aiOrigin_END:
            if (offset > size) return AI_FAILURE;
            target = size - offset;
            break;
        default: return AI_FAILURE;
        }
        if (target > size) return AI_FAILURE;
        position = target;
        return AI_SUCCESS;
    }

    size_t Tell() const override { return position; }
    size_t FileSize() const override { return bytes.size(); }
    void Flush() override {}

private:
    const std::vector<u8>& bytes;
    size_t position = 0;
};

} // namespace

ModelFiles::ModelFiles(const std::string& modelPath, u64 modelBytes, u64 limit_)
    : folder(modelPath.substr(0, modelPath.rfind('/') + 1)), limit(limit_), bytesRead(modelBytes)
{
}

std::string ModelFiles::read(const std::string& relative, const std::vector<u8>*& bytes)
{
    const std::string path = folder + relative;
    if (auto known = files.find(path); known != files.end()) {
        bytes = &known->second;
        return "";
    }
    std::vector<u8> read;
    const u64 left = bytesRead < limit ? limit - bytesRead : 0;
    std::string problem = readRegularFile(path, &read, left);
    if (!problem.empty()) {
        if (problem.starts_with("is too large")) {
            problem += ", more than the " + std::to_string(left) + " left of the " + std::to_string(limit) +
                       " bytes a model and the files it names may take";
        }
        return "its file \"" + path + "\" " + problem;
    }
    bytesRead += read.size();
    bytes = &files.emplace(path, std::move(read)).first->second;
    return "";
}

bool CheckedModelSystem::Exists(const char* path) const
{
    return path != nullptr && name == path;
}

Assimp::IOStream* CheckedModelSystem::Open(const char* path, const char* mode)
{
    // The importer only reads.
    if (!Exists(path) || mode == nullptr || std::strpbrk(mode, "wa+") != nullptr) return nullptr;
    return new MemoryFileStream(bytes);
}

void CheckedModelSystem::Close(Assimp::IOStream* stream)
{
    delete stream;
}
