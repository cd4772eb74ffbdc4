#include "Game/Buildings/BdPortalInstance.h"

#include "Engine/Command/CommandBuffer.h"
#include "Engine/Engine.h"
#include "Engine/Pipeline/Pipeline.h"
#include "Game/Buildings/BdPortal.h"
#include "Game/Session/BuildingManager.h"

#include <glm/gtc/matrix_transform.hpp>

BdPortalInstance::BdPortalInstance(Building* kind_, const glm::ivec3& gridPos_, f32 rotation_, BdPortal* portal_)
    : FixedBuildingInstance(kind_, gridPos_, portal_ != nullptr ? portal_->frameMesh : nullptr),
      rotation(rotation_), portal(portal_)
{
}

void BdPortalInstance::spawn()
{
    // The turn first, then the move to the footprint's centre.
    model = glm::rotate(glm::translate(glm::mat4(1.0f), footprintCentre()), rotation, glm::vec3(0.0f, 1.0f, 0.0f));
    spawnWithoutBody();
}

void BdPortalInstance::recordShadowDraw(CommandBuffer& cmd, u32 firstSet, u32)
{
    if (!prepareDraw()) return;
    cmd.addDataSet(manager->instanceSet);
    cmd.bindDataSets(firstSet);
    cmd.drawMesh(portal->portalMesh, 1);
    cmd.drawMesh(portal->frameMesh, 1);
}

void BdPortalInstance::recordDraw(CommandBuffer& cmd, u32, u32)
{
    if (!prepareDraw()) return;
    Pipeline* callers = cmd.pipeline;

    cmd.bindPipeline(portal->portalPipeline);
    cmd.addDataSet(manager->sceneSet);
    cmd.addDataSet(manager->instanceSet);
    cmd.bindDataSets(0);
    const f32 timeMs = static_cast<f32>(Engine::totalTimeMs);
    vkCmdPushConstants(cmd.handle, portal->portalPipeline->pipelineLayout, VK_SHADER_STAGE_FRAGMENT_BIT, 0,
                       sizeof(timeMs), &timeMs);
    cmd.drawMesh(portal->portalMesh, 1);

    cmd.bindPipeline(portal->framePipeline);
    cmd.addDataSet(manager->sceneSet);
    cmd.addDataSet(manager->instanceSet);
    cmd.addDataSet(portal->frameColorSet);
    cmd.bindDataSets(0);
    cmd.drawMesh(portal->frameMesh, 1);

    // The caller's pipeline and scene set, as they were.
    if (callers != nullptr && callers != cmd.pipeline) {
        cmd.bindPipeline(callers);
        cmd.addDataSet(manager->sceneSet);
        cmd.bindDataSets(0);
    }
}
