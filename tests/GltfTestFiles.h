#pragma once

// Writing glTF binaries for tests, and comparing what the game's import of a model
// gives with what the importer gives reading the file itself.

#include "Engine/Mesh/ModelImport.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

inline void writeBytes(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline u32 wordAt(const std::string& bytes, size_t offset)
{
    u32 word = 0;
    std::memcpy(&word, bytes.data() + offset, 4);
    return word;
}

inline void setWord(std::string& bytes, size_t offset, u32 word)
{
    std::memcpy(bytes.data() + offset, &word, 4);
}

// A glTF binary of `json` and, unless empty, a binary chunk `bin`.
inline std::string glbOf(std::string json, const std::string& bin)
{
    json.resize((json.size() + 3) / 4 * 4, ' ');
    std::string glb(12, '\0');
    const auto chunk = [&glb](const std::string& data, u32 type) {
        std::string header(8, '\0');
        setWord(header, 0, static_cast<u32>(data.size()));
        setWord(header, 4, type);
        glb += header + data;
    };
    chunk(json, 0x4E4F534A);
    if (!bin.empty()) chunk(bin + std::string((4 - bin.size() % 4) % 4, '\0'), 0x004E4942);
    setWord(glb, 0, 0x46546C67);
    setWord(glb, 4, 2);
    setWord(glb, 8, static_cast<u32>(glb.size()));
    return glb;
}

// The post-processing the game's join stands for: the importer's own join of identical
// vertices (and tangents) on top of the game's flags.
constexpr u32 ImportersOwnJoin = aiProcess_CalcTangentSpace | aiProcess_JoinIdenticalVertices | 0x1008008;

// The model at `path` as the importer reads the file itself, joining its vertices,
// converted as the game converts its scenes.
inline ImportedModel importedByTheImporterItself(const std::string& path, VertexLayout* layout,
                                                 const std::vector<MeshLayoutOverride>& overrides)
{
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, ImportersOwnJoin);
    if (scene == nullptr) {
        ImportedModel refused;
        refused.error = importer.GetErrorString();
        return refused;
    }
    return convertScene(path.c_str(), *scene, layout, overrides);
}

// Every mesh the same: names, layouts, vertex streams and indices.
inline void expectSameMeshes(const ImportedModel& checked, const ImportedModel& direct)
{
    ASSERT_EQ(direct.error, "");
    ASSERT_EQ(checked.error, "");
    ASSERT_EQ(checked.meshes.size(), direct.meshes.size());
    for (size_t i = 0; i < direct.meshes.size(); i++) {
        const ImportedMesh& a = checked.meshes[i];
        const ImportedMesh& b = direct.meshes[i];
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.layout, b.layout) << a.name;
        EXPECT_EQ(a.vertices.vertexCount, b.vertices.vertexCount) << a.name;
        EXPECT_EQ(a.vertices.data, b.vertices.data) << a.name;
        EXPECT_EQ(a.indices, b.indices) << a.name;
    }
}
