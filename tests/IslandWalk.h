#pragma once

// Enemies walked from the four portals of a real island to its castle, headless, as
// the enemy walk tool and the wave tests run them. An enemy that touches a building
// has arrived and leaves the game at once (as a tower beside the castle would kill
// it); one whose field distance has not come down by a step for 20 s of game time has
// stalled.

#include "IslandTestSupport.h"

#include "Engine/Physics/CollisionType.h"
#include "Engine/Physics/PhysicsReference.h"
#include "Game/Enemies/EnemyInstance.h"
#include "Game/Enemies/EnemyRules.h"
#include "Game/Session/SessionRules.h"
#include "Game/Session/Waves.h"

#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <unordered_map>
#include <vector>

namespace IslandWalkRules {
// No progress in field distance for this long: stalled.
constexpr f32 StallSeconds = 20.0f;
// Progress: the field distance under the enemy down by at least this much (a step on
// the flat costs 1).
constexpr f32 ProgressDistance = 1.0f;
} // namespace IslandWalkRules

struct WalkSettings {
    u32 enemies = 120;
    f32 heavyShare = 0.2f; // the first round(enemies x share) released are heavy, as in a wave
    f32 seconds = 240.0f;  // game time
};

// Where one stalled enemy stood when it stalled.
struct WalkStall {
    glm::vec3 position{0.0f};
    bool heavy = false;
    u32 portal = 0;
    f32 castleDistance = 0.0f; // across the ground from the castle's centre
    f32 fieldDistance = 0.0f;  // the field's, where it stood
};

struct WalkTally {
    u32 released = 0;
    u32 arrived = 0;
    u32 stalled = 0;   // went 20 s without progress, whether it arrived later or not
    u32 recovered = 0; // of the stalled, arrived later
    u32 lost = 0;      // left the world
    u32 walking = 0;   // still on the way at the end, not stalled
    f64 arriveSeconds = 0.0; // summed over the arrivals
    f32 worstSeconds = 0.0f;
    u32 arrivedFrom[4] = {};
    std::vector<WalkStall> stalls;

    f64 meanSeconds() const { return arrived > 0 ? arriveSeconds / arrived : 0.0; }
    void add(const WalkTally& other)
    {
        released += other.released;
        arrived += other.arrived;
        stalled += other.stalled;
        recovered += other.recovered;
        lost += other.lost;
        walking += other.walking;
        arriveSeconds += other.arriveSeconds;
        worstSeconds = std::max(worstSeconds, other.worstSeconds);
        for (int i = 0; i < 4; i++) arrivedFrom[i] += other.arrivedFrom[i];
        stalls.insert(stalls.end(), other.stalls.begin(), other.stalls.end());
    }
};

// Follows every enemy of an island game from its first tick: arrivals (contact with a
// building; the enemy is destroyed there), progress along the field, stalls, losses.
class WalkWatch {
public:
    explicit WalkWatch(IslandGame& game) : game(game) {}

    // After each tick: arrivals leave the game, new enemies are taken up, every enemy
    // on its way is checked for progress.
    void afterTick()
    {
        takeArrivals();
        const u64 now = game.ticks;
        for (Enemy* kind : enemyTypes) {
            for (const std::shared_ptr<EnemyInstance>& enemy : kind->instances) {
                if (byEnemy.count(enemy.get()) == 0) follow(enemy, now);
            }
        }
        for (auto it = byEnemy.begin(); it != byEnemy.end();) {
            Walker& walker = walkers[it->second];
            std::shared_ptr<EnemyInstance> enemy = walker.enemy.lock();
            if (enemy == nullptr || enemy->destroyed.load()) {
                tally.lost++;
                it = byEnemy.erase(it);
                continue;
            }
            checkProgress(walker, enemy->position.load(), now);
            ++it;
        }
    }

    // The tally so far; enemies still on their way count as walking.
    WalkTally result() const
    {
        WalkTally out = tally;
        out.released = static_cast<u32>(walkers.size());
        for (const auto& entry : byEnemy) {
            if (!walkers[entry.second].stalled) out.walking++;
        }
        for (const Walker& walker : walkers) {
            if (walker.stalled && walker.arrived) out.recovered++;
        }
        return out;
    }

    // Enemies taken up and not yet arrived or lost.
    size_t onTheirWay() const { return byEnemy.size(); }

private:
    struct Walker {
        std::weak_ptr<EnemyInstance> enemy;
        u64 firstTick = 0;
        u64 lastProgressTick = 0;
        f32 best = 0.0f;
        u32 portal = 0;
        bool heavy = false;
        bool stalled = false;
        bool arrived = false;
    };

    IslandGame& game;
    std::vector<Walker> walkers;
    std::unordered_map<const EnemyInstance*, size_t> byEnemy;
    WalkTally tally;

    void follow(const std::shared_ptr<EnemyInstance>& enemy, u64 now)
    {
        Walker walker;
        walker.enemy = enemy;
        walker.firstTick = now;
        walker.lastProgressTick = now;
        walker.heavy = enemy->typeIndex == EnemyKinds::Heavy.typeIndex;
        walker.portal = nearestPortal(enemy->position.load());
        walker.best = fieldDistance(enemy->position.load());
        byEnemy[enemy.get()] = walkers.size();
        walkers.push_back(walker);
    }

    u32 nearestPortal(const glm::vec3& at) const
    {
        u32 nearest = 0;
        f32 best = std::numeric_limits<f32>::max();
        for (u32 i = 0; i < game.portals.size(); i++) {
            const PortalSite& portal = game.portals[i];
            const glm::vec3 centre = game.grid.origin + glm::vec3(portal.gridPos.x + portal.gridSize.x * 0.5f, 0.0f,
                                                                  portal.gridPos.z + portal.gridSize.z * 0.5f);
            const f32 d = glm::length(glm::vec2(at.x - centre.x, at.z - centre.z));
            if (d < best) {
                best = d;
                nearest = i;
            }
        }
        return nearest;
    }

    // The field's distance at the vertex the enemy reads its way from.
    f32 fieldDistance(const glm::vec3& at) const
    {
        const glm::vec3 r = at - game.grid.origin;
        const PathField& field = *game.enemies->pathField;
        const i64 xi = static_cast<i64>(r.x + 0.5f);
        const i64 zi = static_cast<i64>(r.z + 0.5f);
        if (!(r.x >= 0.0f && r.z >= 0.0f) || xi >= field.gridSize || zi >= field.gridSize) {
            return PathDistanceRules::Unreached;
        }
        return field.cell(static_cast<u32>(xi), static_cast<u32>(zi)).distance;
    }

    void checkProgress(Walker& walker, const glm::vec3& at, u64 now)
    {
        const f32 distance = fieldDistance(at);
        if (distance <= walker.best - IslandWalkRules::ProgressDistance) {
            walker.best = distance;
            walker.lastProgressTick = now;
            return;
        }
        const f32 waited = static_cast<f32>(now - walker.lastProgressTick) * TickSeconds;
        if (!walker.stalled && waited >= IslandWalkRules::StallSeconds) {
            walker.stalled = true;
            tally.stalled++;
            const glm::vec3 castle = game.castle != nullptr ? game.castle->footprintCentre() : at;
            const f32 away = glm::length(glm::vec2(at.x - castle.x, at.z - castle.z));
            tally.stalls.push_back({at, walker.heavy, walker.portal, away, distance});
        }
    }

    // Enemies whose contact with a building reaches their hit callback this tick.
    void takeArrivals()
    {
        btDispatcher* dispatcher = game.engineWorld.world->getDispatcher();
        std::vector<EnemyInstance*> arrived;
        for (int i = 0; i < dispatcher->getNumManifolds(); i++) {
            btPersistentManifold* manifold = dispatcher->getManifoldByIndexInternal(i);
            auto* a = static_cast<PhysicsReference*>(manifold->getBody0()->getUserPointer());
            auto* b = static_cast<PhysicsReference*>(manifold->getBody1()->getUserPointer());
            if (a == nullptr || b == nullptr) continue;
            if (b->type == CollisionEnemy) std::swap(a, b);
            if (a->type != CollisionEnemy || (b->type & a->mask) == 0) continue;
            f32 distance = 1e8f;
            for (int p = 0; p < manifold->getNumContacts(); p++) {
                distance = std::min(distance, static_cast<f32>(manifold->getContactPoint(p).getDistance()));
            }
            if (a->contactThreshold >= distance) arrived.push_back(static_cast<EnemyInstance*>(a->owner));
        }
        for (EnemyInstance* enemy : arrived) {
            auto it = byEnemy.find(enemy);
            if (it == byEnemy.end()) continue;
            Walker& walker = walkers[it->second];
            walker.arrived = true;
            const f32 took = static_cast<f32>(game.ticks - walker.firstTick) * TickSeconds;
            tally.arrived++;
            tally.arriveSeconds += took;
            tally.worstSeconds = std::max(tally.worstSeconds, took);
            tally.arrivedFrom[walker.portal]++;
            byEnemy.erase(it);
            enemy->destroy();
        }
    }
};

// `settings.enemies` enemies released from the portals in turn at a wave's pace (heavy
// ones first), walked for `settings.seconds` of game time or until none is left on its
// way. `beforeTick`, when given, runs before every tick (the walk tool changes the
// field there).
inline WalkTally walkEnemies(IslandGame& game, const WalkSettings& settings,
                             const std::function<void()>& beforeTick = nullptr)
{
    const u32 heavyCount = static_cast<u32>(std::lround(settings.enemies * settings.heavyShare));
    const f32 rate = spawnRate(static_cast<i32>(settings.enemies - heavyCount), static_cast<i32>(heavyCount));
    const u64 lastTick = game.ticks + static_cast<u64>(settings.seconds / TickSeconds);
    WalkWatch watch(game);
    u32 released = 0;
    f32 owed = 0.0f;
    while (game.ticks < lastTick) {
        owed += rate;
        while (released < settings.enemies && owed > 1.0f && !game.portals.empty()) {
            const bool heavy = released < heavyCount;
            const PortalSite& portal = game.portals[released % game.portals.size()];
            const glm::vec3 at = EnemySpawner::spawnPosition(portal, game.enemies->context.ground, heavy);
            game.enemies->enqueue(heavy ? std::unique_ptr<EnemyInstance>(std::make_unique<EnHeavyInstance>(at))
                                        : std::unique_ptr<EnemyInstance>(std::make_unique<EnBaseInstance>(at)));
            released++;
            owed -= 1.0f;
        }
        if (beforeTick) beforeTick();
        game.tick();
        watch.afterTick();
        if (released == settings.enemies && watch.onTheirWay() == 0) break;
    }
    return watch.result();
}
