#include "Game/Buildings/FixedBuildingInstance.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Storage/DataStorage.h"
#include "Game/EntityTypes/EntityTypes.h"
#include "Game/Session/BuildingManager.h"
#include "World/Culling/BoundingAABB.h"

FixedBuildingInstance::FixedBuildingInstance(Building* kind_, const glm::ivec3& gridPos_, Mesh* mesh_)
    : BuildingInstance(kind_, gridPos_), matrixOffset(NoOffset), mesh(mesh_)
{
}

std::vector<RenderObject> FixedBuildingInstance::getRenderObjects()
{
    return {{mesh, model}};
}

void FixedBuildingInstance::storeSnapshot(u32)
{
}

bool FixedBuildingInstance::prepareDraw()
{
    if (skipNextDraw) {
        skipNextDraw = false;
        return false;
    }
    if (cullCell == nullptr || !cullCell->visible) return false;
    if (matrixOffset == NoOffset) {
        matrixOffset = instanceStorage->write(NoOffset, &model, sizeof(model), false);
    }
    manager->instanceSlot->offset = matrixOffset;
    return true;
}

void FixedBuildingInstance::drawWithInstanceSet(CommandBuffer& cmd, u32 firstSet, Mesh* drawn)
{
    cmd.addDataSet(manager->instanceSet);
    cmd.bindDataSets(firstSet);
    cmd.drawMesh(drawn, 1);
}

void FixedBuildingInstance::releaseMatrixSlots()
{
    if (matrixOffset != NoOffset) {
        EntityTypes::releaseInstanceSlot(matrixOffset);
        matrixOffset = NoOffset;
    }
}
