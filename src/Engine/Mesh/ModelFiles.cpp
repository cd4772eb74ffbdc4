#include "Engine/Mesh/ModelFiles.h"

#include "Engine/Helper/FileRead.h"
#include "Engine/Helper/LineLimits.h"
#include "Engine/Helper/QuotedText.h"

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
    std::string problem = readRegularFileInside(folder, path, &read, left);
    if (!problem.empty()) {
        if (problem.starts_with("is too large")) {
            problem += ", more than the " + std::to_string(left) + " left of the " + std::to_string(limit) +
                       " bytes a model and the files it names may take";
        }
        return "its file " + quotedText(path, LineLimits::PathBytes) + " " + problem;
    }
    bytesRead += read.size();
    bytes = &files.emplace(path, std::move(read)).first->second;
    return "";
}
