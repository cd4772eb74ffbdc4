#include "Game/Buildings/Building.h"

#include "Engine/Camera/Camera.h"
#include "Game/Buildings/BuildingInstance.h"
#include "Game/Buildings/BuildingRules.h"
#include "Game/Ui/HealthBar.h"
#include "Game/Ui/UiState.h"

#include <btBulletCollisionCommon.h>
#include <imgui.h>

#include <algorithm>

glm::vec3 footprintCentre(const glm::ivec3& gridPos, const glm::ivec3& gridSize, const glm::vec3& origin)
{
    return origin + glm::vec3(static_cast<f32>(gridPos.x) + static_cast<f32>(gridSize.x) * 0.5f,
                              static_cast<f32>(gridPos.y) * BuildingGeometryRules::StepHeight,
                              static_cast<f32>(gridPos.z) + static_cast<f32>(gridSize.z) * 0.5f);
}

Building::Building(u32 typeIndex_) : typeIndex(typeIndex_)
{
}

Building::~Building()
{
    delete shape;
}

void Building::updateAllBounds()
{
    std::lock_guard lock(instancesMutex);
    for (size_t i = instances.size(); i-- > 0;) {
        instances[i]->updateBounds();
    }
}

std::vector<std::string> Building::infoLines(i32 level) const
{
    return {"Health: " + std::to_string(maxHealthAt(static_cast<u32>(std::max(level, 0))))};
}

std::string Building::toolLabel() const
{
    return config.name + " (" + std::to_string(config.levels.front().cost) + "$)";
}

void Building::drawInfo(i32 level)
{
    for (const std::string& line : infoLines(level)) {
        ImGui::TextUnformatted(line.c_str());
    }
}

void Building::drawToolLabel()
{
    ImGui::PushFont(Ui::fontMedium);
    ImGui::TextUnformatted(toolLabel().c_str());
    ImGui::PopFont();
}

std::vector<RenderObject> Building::getPreviewRenderObjects(const glm::ivec3&)
{
    return {};
}

void Building::drawShadowCasters(CommandBuffer& cmd, u32 firstSet, u32 frame)
{
    std::lock_guard lock(instancesMutex);
    for (const std::shared_ptr<BuildingInstance>& instance : instances) {
        instance->recordShadowDraw(cmd, firstSet, frame);
    }
}

void Building::drawInstances(CommandBuffer& cmd, u32 firstSet, u32 frame)
{
    std::lock_guard lock(instancesMutex);
    for (const std::shared_ptr<BuildingInstance>& instance : instances) {
        instance->recordDraw(cmd, firstSet, frame);
    }
}

void Building::drawHealthBars(const Camera& camera, glm::ivec2 viewport)
{
    ImDrawList* list = ImGui::GetBackgroundDrawList();
    const ImVec4 green(0.0f, 1.0f, 0.0f, 1.0f);
    std::lock_guard lock(instancesMutex);
    for (const std::shared_ptr<BuildingInstance>& instance : instances) {
        glm::vec3 point;
        f32 fraction = 0.0f;
        if (instance->getHealthBar(camera.position, point, fraction)) {
            drawHealthBar(list, camera.worldToScreen(point, viewport), fraction, green);
        }
    }
}

u32 Building::totalCost(i32 level) const
{
    return totalCostOf(config.levels, level);
}

i32 Building::maxHealthAt(u32 level) const
{
    const size_t index = std::min<size_t>(level, config.levels.size() - 1);
    return config.levels[index].maxHealth;
}
