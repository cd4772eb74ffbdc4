#pragma once

#include "Game/Buildings/Building.h"

class DataSet;
class Image2D;
class Pipeline;
class Sampler;
struct ImageBinding;

// The portal kind: placed by the game at the start, four times, never from the tool
// bar. It has no collision shape, and draws its instances with pipelines of its own:
// the surface animated by the running time, and the stone frame coloured from a
// texture.
class BdPortal : public Building {
public:
    static constexpr const char* ConfigPath = "assets/Buildings/BdPortal/config.json";
    static constexpr const char* ModelPath = "assets/Buildings/BdPortal/portal.glb";
    static constexpr const char* FrameColorPath = "assets/Buildings/BdPortal/frameColor.dds";

    Mesh* frameMesh = nullptr;  // "PortalFrame"
    Mesh* portalMesh = nullptr; // "Portal"
    Pipeline* portalPipeline = nullptr;
    Pipeline* framePipeline = nullptr;
    Image2D* frameColor = nullptr;
    ImageBinding* frameColorBinding = nullptr;
    DataSet* frameColorSet = nullptr; // binding 5: the frame texture (set 2 of the frame pipeline)
    Sampler* frameSampler = nullptr;

    // Stores itself in buildingTypes, reads its file, loads its texture and model,
    // then builds its two pipelines.
    BdPortal();
    ~BdPortal() override;

    void loadConfig() override;
    // The frame sampler, texture, binding and data set, then the model's two meshes.
    void loadModel();
    void createPipelines();
    std::shared_ptr<BuildingInstance> createInstance(const glm::ivec3& gridPos, f32 rotation) override;
};
