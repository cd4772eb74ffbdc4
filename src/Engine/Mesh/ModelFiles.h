#pragma once

#include "Engine/Types.h"

#include <assimp/IOSystem.hpp>

#include <map>
#include <string>
#include <vector>

// The files a model names (a glTF buffer kept beside it, or in a folder below it), each
// read once through the game's checked reader (regular files only, never waited on),
// the model and every file it names within one limit.
class ModelFiles {
public:
    // The model at `modelPath` has been read already, `modelBytes` of it; `limit`
    // bounds the model and every file it names together.
    ModelFiles(const std::string& modelPath, u64 modelBytes, u64 limit);

    // The bytes of the file at `relative` below the model's folder: sets `bytes` and
    // gives an empty string, or gives why not, as a phrase to follow the model's name
    // ("its file \"assets/x.bin\" is a named pipe, not a regular file").
    std::string read(const std::string& relative, const std::vector<u8>*& bytes);

private:
    std::string folder;                           // the model's, with its '/', or empty
    std::map<std::string, std::vector<u8>> files; // a map: the bytes stay where they are
    u64 limit = 0;
    u64 bytesRead = 0;
};

// The importer's view of the files: one document, the one the game wrote of what it
// checked, under one name, read from memory. Nothing else is there to be opened. The
// importer takes it over and deletes it; `bytes` must outlive the importer.
class CheckedModelSystem : public Assimp::IOSystem {
public:
    CheckedModelSystem(std::string name, const std::vector<u8>& bytes) : name(std::move(name)), bytes(bytes) {}

    bool Exists(const char* path) const override;
    char getOsSeparator() const override { return '/'; }
    Assimp::IOStream* Open(const char* path, const char* mode) override;
    void Close(Assimp::IOStream* stream) override;

private:
    std::string name;
    const std::vector<u8>& bytes;
};
