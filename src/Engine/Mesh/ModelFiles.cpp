#include "Engine/Mesh/ModelFiles.h"

#include "Engine/Helper/FileRead.h"

#include <assimp/IOStream.hpp>

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

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

ModelFiles::ModelFiles(const std::string& modelPath, std::vector<u8> modelBytes, u64 limit_) : limit(limit_)
{
    bytesRead = modelBytes.size();
    files.emplace(modelPath, std::move(modelBytes));
}

const std::vector<u8>* ModelFiles::bytesOf(const std::string& path)
{
    if (auto known = files.find(path); known != files.end()) return &known->second;
    std::vector<u8> bytes;
    const u64 left = bytesRead < limit ? limit - bytesRead : 0;
    std::string problem = readRegularFile(path, &bytes, left);
    if (!problem.empty()) {
        if (problem.starts_with("is too large")) {
            problem += ", more than the " + std::to_string(left) + " left of the " + std::to_string(limit) +
                       " bytes a model and the files it names may take";
        }
        if (firstRefusal.empty()) firstRefusal = "its file \"" + path + "\" " + problem;
        return nullptr;
    }
    bytesRead += bytes.size();
    return &files.emplace(path, std::move(bytes)).first->second;
}

bool ModelFileSystem::Exists(const char* path) const
{
    // Whether there is anything by that name; whether it can be read is for the open.
    struct stat status {};
    return path != nullptr && (files.holds(path) || stat(path, &status) == 0);
}

Assimp::IOStream* ModelFileSystem::Open(const char* path, const char* mode)
{
    // The importer only reads.
    if (path == nullptr || mode == nullptr || std::strpbrk(mode, "wa+") != nullptr) return nullptr;
    const std::vector<u8>* bytes = files.bytesOf(path);
    return bytes != nullptr ? new MemoryFileStream(*bytes) : nullptr;
}

void ModelFileSystem::Close(Assimp::IOStream* stream)
{
    delete stream;
}
