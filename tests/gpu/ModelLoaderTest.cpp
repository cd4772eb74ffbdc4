#include "GpuTest.h"

#include "Engine/Engine.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Mesh/Mesh.h"
#include "Engine/Mesh/MeshStorageHolders.h"
#include "Engine/Mesh/ModelLoader.h"
#include "Engine/Storage/DataStorage.h"

#include <cstring>
#include <functional>

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
        useStorage(new DsDeviceMeshSingle(Engine::graphicsDevice, 10'000'000));
    }
    void TearDown() override
    {
        // The storage is registered with the device, which deletes it at shutdown.
        Engine::meshStorage = nullptr;
        delete Engine::meshStorageHolders;
        Engine::meshStorageHolders = nullptr;
        GpuTest::TearDown();
    }

    // `made` becomes the game's mesh storage, with a record of its own.
    void useStorage(DsDeviceMeshSingle* made)
    {
        storage = made;
        Engine::meshStorage = made;
        delete Engine::meshStorageHolders;
        Engine::meshStorageHolders = new MeshStorageHolders();
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
        useStorage(small);
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
    Engine::meshStorage = nullptr;
}

// When models took the room, the line that refuses what comes next (a model, or a box or
// sphere the game makes) names the model holding the most of the storage and its bytes.
// A box, the castle and the smoke fill a storage but for 512 bytes: too few for the
// portal, an enemy kind's box or a projectile's sphere, and nothing of them is written.
TEST_F(ModelLoaderTest, ALineAboutAFullStorageNamesTheModelHoldingTheMost)
{
    const ModelUse castle = modelUses()[0];
    const ModelUse portal = modelUses()[1];
    const ModelUse smoke = modelUses()[5];
    const u64 castleBytes = meshStorageBytes(importModel(castle.path, castle.layout, castle.overrides), 16);
    const u64 smokeBytes = meshStorageBytes(importModel(smoke.path, smoke.layout, smoke.overrides), 16);
    ASSERT_GT(castleBytes, smokeBytes);
    const u64 size = 912 + castleBytes + smokeBytes + 512;
    useStorage(new DsDeviceMeshSingle(Engine::graphicsDevice, static_cast<u32>(size)));

    std::vector<Mesh*> made = {gameStorageCube("the box of the normal enemy kind", 0.8f, 2, 0.8f)};
    EXPECT_EQ(Engine::meshStorageHolders->largest().name, "the box of the normal enemy kind");
    EXPECT_EQ(Engine::meshStorageHolders->largest().bytes, 912u);
    for (const ModelUse& use : {castle, smoke}) {
        for (Mesh* mesh : ModelLoader::load(use.path, use.layout, use.overrides)) made.push_back(mesh);
    }
    ASSERT_EQ(storage->roomLeft(), 512u);

    const std::string room = "512 of the storage's " + std::to_string(size) +
                             " are left; model \"assets/Buildings/BdCastle/castle.glb\" holds the most of it (" +
                             std::to_string(castleBytes) + " bytes)";
    struct Case {
        const char* name;
        std::function<void()> make;
        std::string start; // of the line, which ends with `room`
        const char* source;
    };
    const Case cases[] = {
        {"the portal's model", [&] { ModelLoader::load(portal.path, portal.layout, portal.overrides); },
         "model \"assets/Buildings/BdPortal/portal.glb\" is too large for the mesh storage: ", "ModelLoader"},
        {"an enemy kind's box", [] { gameStorageCube("the box of the heavy enemy kind", 2, 3, 2); },
         "the box of the heavy enemy kind is too large for the mesh storage: its 24 vertices and 36 indices take 912 "
         "bytes, and ",
         "Mesh"},
        {"a projectile's sphere", [] { gameStorageSphere("the cannonball's sphere", 0.2f); },
         "the cannonball's sphere is too large for the mesh storage: its 121 vertices and 600 indices take 6288 "
         "bytes, and ",
         "Mesh"},
    };
    const u32 cursor = storage->cursor;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        testing::internal::CaptureStdout();
        std::string message;
        try {
            test.make();
        } catch (const std::runtime_error& error) {
            message = error.what();
        }
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(message.starts_with(test.start)) << message;
        EXPECT_TRUE(message.ends_with(room)) << message;
        EXPECT_TRUE(printed.starts_with("ERROR: " + message + " (in " + test.source + " at line #")) << printed;
        EXPECT_EQ(storage->cursor, cursor) << "nothing of it is written";
    }
    for (Mesh* mesh : made) Engine::graphicsDevice->releaseResource(mesh);
}
