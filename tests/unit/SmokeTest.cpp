#include "Game/Particles/PcSmoke.h"
#include "Game/Particles/ParticleRules.h"
#include "Game/Projectiles/Blast.h"
#include "Game/Projectiles/ProjectileRules.h"
#include "World/Culling/CullingGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

glm::vec3 originOf(const glm::mat4& m)
{
    return glm::vec3(m[3]);
}

} // namespace

// A puff of the bomb's ring fades out after about 35 ticks (opacity 0.98 o - 0.004
// from 0.2), drifting outwards and up while it slows, grows and spins; it leaves the
// list by itself.
TEST(Smoke, ABombPuffFadesOutAfterAbout35Ticks)
{
    PcSmoke kind;
    const i32 liveBefore = liveParticleCount.load();
    std::shared_ptr<PcSmokeInstance> puff = PcSmokeInstance::create(smokeRingPuff({10, 5, -3}, 0, 0.5f, 0.0f), &kind);
    ASSERT_EQ(kind.count(), 1u);
    EXPECT_EQ(liveParticleCount.load(), liveBefore + 1);
    // Angle 0: one unit along +x, moving at 0.65 per tick outwards and up.
    EXPECT_NEAR(puff->position.x, 11.0f, 1e-5f);
    EXPECT_NEAR(puff->velocity.x, 0.65f * 0.55f, 1e-6f);
    EXPECT_NEAR(puff->velocity.y, 0.65f * 0.1375f, 1e-6f);
    EXPECT_NEAR(puff->velocity.z, 0.0f, 1e-6f);

    i32 ticks = 0;
    f32 previousOpacity = puff->opacity;
    while (kind.count() > 0 && ticks < 100) {
        kind.tickAll();
        ticks++;
        if (kind.count() > 0) {
            EXPECT_LT(puff->opacity, previousOpacity);
            previousOpacity = puff->opacity;
        }
    }
    EXPECT_EQ(ticks, 35);
    EXPECT_TRUE(puff->removed);
    EXPECT_NEAR(puff->size, 0.5f + 35 * 0.03f, 1e-4f);
    // The drift adds up to about v * 0.55 / (1 - 0.92) outwards.
    EXPECT_NEAR(puff->position.x - 11.0f, 0.65f * 0.55f * (1.0f - std::pow(0.92f, 35.0f)) / 0.08f, 1e-3f);
    puff.reset();
    EXPECT_EQ(liveParticleCount.load(), liveBefore);
}

// A new puff holds its start in all three slots but is drawn only after the logic
// thread has stored one snapshot after its creation; the record blends the two slots
// of the frame.
TEST(Smoke, APuffIsDrawnOnlyAfterItsFirstSnapshotAndBlendsTheTwoSlots)
{
    PcSmoke kind;
    SmokePuff start = smokeRingPuff({0, 0, 0}, 0, 0.5f, 0.0f);
    std::shared_ptr<PcSmokeInstance> puff = PcSmokeInstance::create(start, &kind);
    EXPECT_FALSE(puff->drawable());
    for (const SmokeSnapshot& snapshot : puff->snapshots) {
        EXPECT_FLOAT_EQ(snapshot.transform.getOrigin().x(), 1.0f);
        EXPECT_FLOAT_EQ(snapshot.size, 0.5f);
        EXPECT_FLOAT_EQ(snapshot.opacityOverSize, 0.4f);
    }

    CullingGrid grid({-512.0f, -512.0f}, {32.0f, 32.0f}, {32, 32});
    kind.updateAllBounds(grid, 0);
    ASSERT_NE(puff->cullingCell, nullptr);
    puff->cullingCell->visible = 1;
    std::vector<u8> out(ParticleRules::SmokeRecordBytes * 4);
    EXPECT_EQ(kind.writeRecords({0, 1.0f}, out.data(), 4), 0u) << "not before its first snapshot";

    puff->tick();
    puff->storeSnapshot(1);
    EXPECT_TRUE(puff->drawable());
    ASSERT_EQ(kind.writeRecords({1, 0.25f}, out.data(), 4), 1u);
    SmokeRecord record;
    std::memcpy(&record, out.data(), sizeof(record));
    const f32 movedX = 1.0f + start.velocity.x;
    EXPECT_NEAR(originOf(record.model).x, 0.75f * 1.0f + 0.25f * movedX, 1e-5f);
    EXPECT_NEAR(record.size, 0.5f + 0.25f * 0.03f, 1e-6f);
    EXPECT_NEAR(record.opacityOverSize, 0.75f * 0.4f + 0.25f * puff->opacity / puff->size, 1e-6f);
    // No more records than the capacity allows.
    std::shared_ptr<PcSmokeInstance> second = PcSmokeInstance::create(start, &kind);
    second->storeSnapshot(1);
    kind.updateAllBounds(grid, 1);
    EXPECT_EQ(kind.writeRecords({1, 1.0f}, out.data(), 1), 1u);
    kind.clear();
}

// A puff of no size or no axis is drawn unturned and transparent instead of dividing
// by zero; clearing the kind (a world's teardown) leaves nothing for the next game.
TEST(Smoke, ZeroSizeOrAxisGivesFiniteSnapshotsAndClearEmptiesTheKind)
{
    PcSmoke kind;
    SmokePuff flat = smokeRingPuff({0, 0, 0}, 3, 0.1f, 0.9f);
    flat.size = 0.0f;
    flat.growth = 0.0f;
    flat.axis = glm::vec3(0.0f);
    std::shared_ptr<PcSmokeInstance> puff = PcSmokeInstance::create(flat, &kind);
    for (int tick = 0; tick < 5; tick++) puff->tick();
    puff->storeSnapshot(0);
    const SmokeSnapshot& snapshot = puff->snapshots[0];
    EXPECT_EQ(snapshot.opacityOverSize, 0.0f);
    const btQuaternion rotation = snapshot.transform.getRotation();
    EXPECT_FLOAT_EQ(rotation.w(), 1.0f) << "no turn about a zero axis";
    EXPECT_TRUE(std::isfinite(rotation.x()) && std::isfinite(rotation.y()) && std::isfinite(rotation.z()));
    const SmokeRecord record = puff->record({0, 0.5f});
    for (int c = 0; c < 4; c++) {
        for (int r = 0; r < 4; r++) EXPECT_TRUE(std::isfinite(record.model[c][r]));
    }

    PcSmokeInstance::create(smokeRingPuff({0, 0, 0}, 1, 0.3f, 0.3f), &kind);
    ASSERT_EQ(kind.count(), 2u);
    kind.clear();
    EXPECT_EQ(kind.count(), 0u);
    EXPECT_TRUE(puff->removed);
    puff->remove(); // already out: nothing happens
    EXPECT_EQ(kind.count(), 0u);
}

// The blast: f = 1 - d / R and damage x f; below 1 (so also at or beyond R) no
// effect at all; the push is f x 4000 away from the centre (straight up at the centre
// itself, where the direction would be 0/0); the stun adds 30 / (stun + 30) x 120 x f.
TEST(Blast, DamagePushAndStunFollowTheDistance)
{
    const glm::vec3 centre(5.0f, 2.0f, -1.0f);
    const BlastEffect half = blastEffect(centre + glm::vec3(3.0f, 0.0f, 4.0f), centre, 10.0f, 150, 0.0f);
    ASSERT_TRUE(half.hits);
    EXPECT_EQ(half.damage, 75);
    EXPECT_NEAR(half.push.x, 0.6f * 0.5f * 4000.0f, 1e-2f);
    EXPECT_NEAR(half.push.z, 0.8f * 0.5f * 4000.0f, 1e-2f);
    EXPECT_NEAR(half.stunAdded, 60.0f, 1e-4f);
    // A stunned enemy gets less: 30 / (60 + 30) x 120 x 0.5.
    EXPECT_NEAR(blastEffect(centre + glm::vec3(3.0f, 0.0f, 4.0f), centre, 10.0f, 150, 60.0f).stunAdded, 20.0f, 1e-4f);

    const BlastEffect atCentre = blastEffect(centre, centre, 10.0f, 150, 0.0f);
    ASSERT_TRUE(atCentre.hits);
    EXPECT_EQ(atCentre.damage, 150);
    EXPECT_EQ(atCentre.push, glm::vec3(0.0f, 4000.0f, 0.0f));
    EXPECT_NEAR(atCentre.stunAdded, 120.0f, 1e-4f);

    // At R, beyond R, and where damage x f < 1 (f = 0.005: 150 x 0.005 = 0.75).
    EXPECT_FALSE(blastEffect(centre + glm::vec3(10.0f, 0.0f, 0.0f), centre, 10.0f, 150, 0.0f).hits);
    EXPECT_FALSE(blastEffect(centre + glm::vec3(0.0f, 0.0f, 25.0f), centre, 10.0f, 150, 0.0f).hits);
    const BlastEffect graze = blastEffect(centre + glm::vec3(9.95f, 0.0f, 0.0f), centre, 10.0f, 150, 0.0f);
    EXPECT_FALSE(graze.hits);
    EXPECT_EQ(graze.push, glm::vec3(0.0f));
    EXPECT_EQ(graze.stunAdded, 0.0f);
    // Just above 1: trunc(1.05) = 1.
    EXPECT_EQ(blastEffect(centre + glm::vec3(9.93f, 0.0f, 0.0f), centre, 10.0f, 150, 0.0f).damage, 1);
    // Nothing comes of a zero radius or a position that is not finite.
    EXPECT_FALSE(blastEffect(centre, centre, 0.0f, 150, 0.0f).hits);
    EXPECT_FALSE(blastEffect(glm::vec3(NAN), centre, 10.0f, 150, 0.0f).hits);
}
