#pragma once

#include "Engine/Types.h"

#include <assimp/IOSystem.hpp>

#include <map>
#include <string>
#include <vector>

// The files the model importer reads for one model: the model itself and the files it
// names (a glTF buffer kept beside it). The importer opens them through a file system
// the game gives it, so each goes through the game's checked reader: regular files only,
// never waited on, each read once (the importer opens the model several times), and the
// model with every file it names within one limit. Paths are as the importer makes them
// from the model's path, so a named file is found beside the model.
class ModelFiles {
public:
    // `modelPath` has been read already, as `modelBytes`; `limit` bounds the model and
    // every file it names together.
    ModelFiles(const std::string& modelPath, std::vector<u8> modelBytes, u64 limit);

    // The bytes of `path`, read when first asked for; null when the file is refused,
    // and the first refusal is kept.
    const std::vector<u8>* bytesOf(const std::string& path);
    // Whether `path` has been read already.
    bool holds(const std::string& path) const { return files.contains(path); }

    // Empty, or the first file refused and why, as a phrase to follow the model's name
    // ("its file \"assets/x.bin\" is a named pipe, not a regular file").
    const std::string& refusal() const { return firstRefusal; }

private:
    std::map<std::string, std::vector<u8>> files; // a map: the bytes stay where they are
    u64 limit = 0;
    u64 bytesRead = 0;
    std::string firstRefusal;
};

// The importer's view of `files`: opens for reading only, from memory. The importer
// takes it over and deletes it; `files` must outlive the importer.
class ModelFileSystem : public Assimp::IOSystem {
public:
    explicit ModelFileSystem(ModelFiles& files) : files(files) {}

    bool Exists(const char* path) const override;
    char getOsSeparator() const override { return '/'; }
    Assimp::IOStream* Open(const char* path, const char* mode) override;
    void Close(Assimp::IOStream* stream) override;

private:
    ModelFiles& files;
};
