#pragma once

#include "Engine/Types.h"

#include <map>
#include <string>
#include <vector>

// The files a model names (a glTF buffer kept beside it, or in a folder below it), each
// read once through the game's checked reader (regular files only, never waited on,
// never one that a link leads to outside the model's folder), the model and every file
// it names within one limit.
class ModelFiles {
public:
    // The model at `modelPath` has been read already, `modelBytes` of it; `limit`
    // bounds the model and every file it names together.
    ModelFiles(const std::string& modelPath, u64 modelBytes, u64 limit);

    // The bytes of the file at `relative` below the model's folder: sets `bytes` and
    // gives an empty string, or gives why not, as a phrase that follows the URI naming
    // it and a colon ("its file \"assets/x.bin\" is a named pipe, not a regular file").
    std::string read(const std::string& relative, const std::vector<u8>*& bytes);

private:
    std::string folder;                           // the model's, with its '/', or empty
    std::map<std::string, std::vector<u8>> files; // a map: the bytes stay where they are
    u64 limit = 0;
    u64 bytesRead = 0;
};
