#pragma once

#include "Engine/Physics/DebugLines.h"
#include "Engine/Types.h"

#include <LinearMath/btIDebugDraw.h>

#include <vector>

class btDiscreteDynamicsWorld;
class CommandBuffer;
class DataSet;
class DsMeshSingle;
class Pipeline;
struct StorageSlot;

namespace Engine {
// The debug window's "Render debug mesh": the world pass draws the physics lines.
extern u8 renderPhysicsDebug;
} // namespace Engine

// The engine world's debug drawer: collects Bullet's wireframe lines and draws them
// as one line list with a pipeline of its own. It also carries the fixed time step
// that the simulation thread steps with.
class BulletHandler : public btIDebugDraw {
public:
    f32 fixedTimeStep = 0;
    btDiscreteDynamicsWorld* world = nullptr;
    std::vector<LineVertex> lines;
    DsMeshSingle* lineStorage = nullptr;
    Pipeline* pipeline = nullptr;
    // Lines that fit into one half of lineStorage; collecting stops there (a terrain
    // mesh alone yields millions).
    u32 lineCapacity = 0;
    // The camera block bound at set 0 for the line shaders, in a set made for the
    // line pipeline's own layout.
    DataSet* cameraSet = nullptr;
    StorageSlot* cameraSlot = nullptr;

    // Needs the graphics device and the swap chain (colour format).
    BulletHandler(f32 fixedTimeStep, btDiscreteDynamicsWorld* world);
    BulletHandler(const BulletHandler&) = delete;
    BulletHandler& operator=(const BulletHandler&) = delete;
    ~BulletHandler() override;

    // Main thread, inside a pass that renders to a swap-chain-format colour target
    // with depth; the caller holds the simulation's stepMutex so the world is not
    // stepped meanwhile. `camera` is the 104-byte camera block (view-projection first),
    // written this frame.
    void draw(CommandBuffer& cmd, StorageSlot* camera);

    using btIDebugDraw::drawLine; // the two-colour form draws with the first colour
    void drawLine(const btVector3& from, const btVector3& to, const btVector3& colour) override;
    void drawContactPoint(const btVector3& pointOnB, const btVector3& normalOnB, btScalar distance, int lifeTime,
                          const btVector3& colour) override;
    void reportErrorWarning(const char* warning) override;
    void draw3dText(const btVector3& location, const char* text) override;
    void setDebugMode(int mode) override;
    int getDebugMode() const override;

private:
    void bindCamera(StorageSlot* camera);
};
