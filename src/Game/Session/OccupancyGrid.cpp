#include "Game/Session/OccupancyGrid.h"

#include "Game/Buildings/BuildingInstance.h"

#include <algorithm>

OccupancyGrid::OccupancyGrid(u32 width_)
    : width(width_), cells(std::make_unique<std::atomic<BuildingInstance*>[]>(static_cast<size_t>(width_) * width_))
{
    for (size_t i = 0; i < static_cast<size_t>(width) * width; i++) {
        cells[i].store(nullptr, std::memory_order_relaxed);
    }
}

BuildingInstance* OccupancyGrid::at(i32 x, i32 z) const
{
    if (x < 0 || z < 0 || x >= static_cast<i32>(width) || z >= static_cast<i32>(width)) return nullptr;
    return cells[static_cast<size_t>(z) * width + static_cast<size_t>(x)].load();
}

bool OccupancyGrid::contains(const glm::ivec3& gridPos, const glm::ivec3& size) const
{
    const i64 w = width;
    return size.x > 0 && size.z > 0 && gridPos.x >= 0 && gridPos.z >= 0 &&
           static_cast<i64>(gridPos.x) + size.x <= w && static_cast<i64>(gridPos.z) + size.z <= w;
}

bool OccupancyGrid::isFree(const glm::ivec3& gridPos, const glm::ivec3& size) const
{
    if (!contains(gridPos, size)) return false;
    for (i32 z = gridPos.z; z < gridPos.z + size.z; z++) {
        for (i32 x = gridPos.x; x < gridPos.x + size.x; x++) {
            if (at(x, z) != nullptr) return false;
        }
    }
    return true;
}

void OccupancyGrid::occupy(BuildingInstance* instance)
{
    const glm::ivec3 size = instance->kind->config.gridSize;
    const glm::ivec3& corner = instance->gridPos;
    for (i32 z = std::max(corner.z, 0); z < std::min<i64>(static_cast<i64>(corner.z) + size.z, width); z++) {
        for (i32 x = std::max(corner.x, 0); x < std::min<i64>(static_cast<i64>(corner.x) + size.x, width); x++) {
            cells[static_cast<size_t>(z) * width + static_cast<size_t>(x)].store(instance);
        }
    }
}

void OccupancyGrid::clear(const BuildingInstance* instance)
{
    const glm::ivec3 size = instance->kind->config.gridSize;
    const glm::ivec3& corner = instance->gridPos;
    for (i32 z = std::max(corner.z, 0); z < std::min<i64>(static_cast<i64>(corner.z) + size.z, width); z++) {
        for (i32 x = std::max(corner.x, 0); x < std::min<i64>(static_cast<i64>(corner.x) + size.x, width); x++) {
            BuildingInstance* expected = const_cast<BuildingInstance*>(instance);
            cells[static_cast<size_t>(z) * width + static_cast<size_t>(x)].compare_exchange_strong(expected, nullptr);
        }
    }
}

std::vector<glm::ivec2> OccupancyGrid::verticesTouching(const glm::ivec3& gridPos, const glm::ivec3& size,
                                                        const std::function<bool(const BuildingInstance*)>& matches) const
{
    std::vector<glm::ivec2> vertices;
    for (i32 x = gridPos.x; x <= gridPos.x + size.x; x++) {
        for (i32 z = gridPos.z; z <= gridPos.z + size.z; z++) {
            // The four cells around vertex (x, z).
            for (const glm::ivec2 cell : {glm::ivec2(x - 1, z - 1), glm::ivec2(x, z - 1), glm::ivec2(x - 1, z),
                                          glm::ivec2(x, z)}) {
                const BuildingInstance* holder = at(cell.x, cell.y);
                if (holder != nullptr && matches(holder)) {
                    vertices.emplace_back(x, z);
                    break;
                }
            }
        }
    }
    return vertices;
}
