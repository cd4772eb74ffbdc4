#include "GpuTest.h"

#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Mesh/ModelLoader.h"
#include "Engine/Storage/DataStorage.h"

#include <cstring>

namespace {

// Every model the game loads, with the arguments its user passes.
struct ModelUse {
    const char* path;
    VertexLayout* layout;
    std::vector<MeshLayoutOverride> overrides;
    std::vector<const char*> requiredNames; // empty: the first mesh is taken
};

std::vector<ModelUse> modelUses()
{
    return {
        {"assets/Buildings/BdCastle/castle.glb", vertexLayoutPosNormalColor, {}, {}},
        {"assets/Buildings/BdPortal/portal.glb", vertexLayoutPosNormalUv, {{"Portal", vertexLayoutPosNormalColorUv}},
         {"PortalFrame", "Portal"}},
        {"assets/Buildings/BdWall/wall.glb", vertexLayoutPosNormalColor, {}, {}},
        {"assets/Buildings/Towers/TwCannon/cannon.glb", vertexLayoutPosNormalColor, {}, {"Base", "Turret", "Cannon"}},
        {"assets/Buildings/Towers/TwMortar/mortar.glb", vertexLayoutPosNormalColor, {}, {"Base", "Turret", "Cannon"}},
        {"assets/Particles/smoke.glb", vertexLayoutPosNormalColor, {}, {}},
    };
}

class ModelLoaderTest : public GpuTest {
protected:
    DsDeviceMeshSingle* storage = nullptr;

    void SetUp() override
    {
        GpuTest::SetUp();
        storage = new DsDeviceMeshSingle(Engine::graphicsDevice, 10'000'000);
        Engine::meshStorage = storage;
    }
    void TearDown() override
    {
        // The storage is registered with the device, which deletes it at shutdown.
        Engine::meshStorage = nullptr;
        GpuTest::TearDown();
    }

    bool storedBytesEqual(u32 offset, const void* expected, size_t size) const
    {
        return std::memcmp(storage->mappedStaging + offset, expected, size) == 0;
    }
};

} // namespace

TEST_F(ModelLoaderTest, LoadsEveryGameModelIntoTheMeshStorage)
{
    for (const ModelUse& use : modelUses()) {
        SCOPED_TRACE(use.path);
        ImportedModel expected = importModel(use.path, use.layout, use.overrides);
        ASSERT_EQ(expected.error, "");
        std::vector<Mesh*> meshes = ModelLoader::load(use.path, use.layout, use.overrides);
        ASSERT_EQ(meshes.size(), expected.meshes.size());
        ASSERT_FALSE(meshes.empty());

        for (size_t m = 0; m < meshes.size(); m++) {
            const Mesh& mesh = *meshes[m];
            const ImportedMesh& source = expected.meshes[m];
            SCOPED_TRACE(source.name);
            EXPECT_EQ(mesh.name, source.name);
            ASSERT_NE(mesh.vertexBuffer, nullptr);
            ASSERT_NE(mesh.indexBuffer, nullptr);
            EXPECT_EQ(mesh.vertexBuffer->layout, source.layout);
            EXPECT_EQ(mesh.vertexBuffer->vertexCount, source.vertices.vertexCount);
            for (u32 a = 0; a < source.layout->attributes.size(); a++) {
                const VertexStreamSlot& slot = mesh.vertexBuffer->streams[a];
                u32 size = source.vertices.vertexCount * source.layout->attributes[a].size;
                EXPECT_NE(slot.offset, NoOffset) << "attribute " << a;
                EXPECT_EQ(slot.count, source.vertices.vertexCount);
                EXPECT_EQ(slot.byteSize, size);
                EXPECT_TRUE(storedBytesEqual(slot.offset, source.vertices.stream(a), size)) << "attribute " << a;
            }
            EXPECT_EQ(mesh.indexBuffer->count, source.indices.size());
            EXPECT_EQ(mesh.indexBuffer->byteSize, source.indices.size() * 4);
            EXPECT_TRUE(storedBytesEqual(mesh.indexBuffer->offset, source.indices.data(), source.indices.size() * 4));
        }

        // What the kinds take at start-up.
        if (use.requiredNames.empty()) {
            EXPECT_EQ(ModelLoader::requireFirstMesh(meshes, use.path), meshes.front());
        }
        for (const char* name : use.requiredNames) {
            Mesh* mesh = ModelLoader::requireMesh(meshes, name, use.path);
            EXPECT_EQ(mesh->name, name);
        }
        for (Mesh* mesh : meshes) {
            Engine::graphicsDevice->releaseResource(mesh);
        }
    }
}

TEST_F(ModelLoaderTest, PortalMeshesGetTheirOwnLayouts)
{
    const char* path = "assets/Buildings/BdPortal/portal.glb";
    std::vector<Mesh*> meshes = ModelLoader::load(path, vertexLayoutPosNormalUv, {{"Portal", vertexLayoutPosNormalColorUv}});
    Mesh* surface = ModelLoader::requireMesh(meshes, "Portal", path);
    Mesh* frame = ModelLoader::requireMesh(meshes, "PortalFrame", path);
    EXPECT_EQ(surface->vertexBuffer->layout->stride, 48u);
    EXPECT_NE(surface->vertexBuffer->streamOfKind(AttributeVertexColor)->offset, NoOffset);
    EXPECT_NE(surface->vertexBuffer->streamOfKind(AttributeTexcoord)->offset, NoOffset);
    EXPECT_EQ(frame->vertexBuffer->layout->stride, 32u);
    EXPECT_EQ(frame->vertexBuffer->streamOfKind(AttributeVertexColor), nullptr);
    EXPECT_NE(frame->vertexBuffer->streamOfKind(AttributeTexcoord)->offset, NoOffset);
    for (Mesh* mesh : meshes) {
        Engine::graphicsDevice->releaseResource(mesh);
    }
}

// A model is refused as a whole, naming the file, when its meshes do not fit the room
// left in the mesh storage; a model that just fits is loaded. Each row is a storage
// with so many bytes more (or fewer) than the portal needs, some of them taken first.
TEST_F(ModelLoaderTest, AModelTooLargeForTheMeshStorageIsRefusedNamingTheFile)
{
    const ModelUse portal = modelUses()[1];
    const ImportedModel imported = importModel(portal.path, portal.layout, portal.overrides);
    ASSERT_EQ(imported.error, "");
    const u64 needed = meshStorageBytes(imported, 16);
    ASSERT_GT(needed, 1000u);
    struct Case {
        const char* name;
        i64 extra; // storage size - needed
        u32 takenFirst;
        bool loads;
    };
    const Case cases[] = {
        {"just fits", 0, 0, true},
        {"16 bytes short", -16, 0, false},
        {"fits but for what is taken", 64, 80, false},
        {"room left after what is taken", 96, 80, true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const u32 size = static_cast<u32>(static_cast<i64>(needed) + test.extra);
        auto* small = new DsDeviceMeshSingle(Engine::graphicsDevice, size);
        Engine::meshStorage = small;
        if (test.takenFirst > 0) {
            std::vector<u8> filler(test.takenFirst, 7);
            small->write(NoOffset, filler.data(), test.takenFirst, false);
        }
        const u32 cursor = small->cursor;
        testing::internal::CaptureStdout();
        std::string message;
        std::vector<Mesh*> meshes;
        try {
            meshes = ModelLoader::load(portal.path, portal.layout, portal.overrides);
        } catch (const std::runtime_error& error) {
            message = error.what();
        }
        const std::string printed = testing::internal::GetCapturedStdout();
        if (test.loads) {
            EXPECT_EQ(message, "");
            EXPECT_EQ(meshes.size(), imported.meshes.size());
        } else {
            EXPECT_EQ(message.rfind(std::string("model \"") + portal.path + "\" is too large for the mesh storage: ", 0),
                      0u)
                << message;
            EXPECT_NE(message.find(std::to_string(needed) + " bytes"), std::string::npos) << message;
            EXPECT_EQ(printed.rfind("ERROR: " + message + " (in ModelLoader at line #", 0), 0u) << printed;
            EXPECT_EQ(small->cursor, cursor) << "nothing of the model is written";
        }
        for (Mesh* mesh : meshes) Engine::graphicsDevice->releaseResource(mesh);
        Engine::graphicsDevice->releaseResource(small);
    }
    Engine::meshStorage = storage;
}
