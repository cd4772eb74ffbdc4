#include "Engine/Camera/Frustum.h"
#include "World/Culling/BoundingAABB.h"
#include "World/Culling/CullingGrid.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

BoundingAABB box(glm::vec3 low, glm::vec3 high)
{
    BoundingAABB b;
    b.active = 1;
    b.minX = low.x, b.maxX = high.x;
    b.minY = low.y, b.maxY = high.y;
    b.minZ = low.z, b.maxZ = high.z;
    return b;
}

// The six planes of the clip cube [-1, 1]^3: the identity view-projection.
Frustum cube()
{
    Frustum f;
    f.fromMatrix(glm::mat4(1.0f));
    return f;
}

} // namespace

TEST(Culling, PlaneTestUsesTheFullSizeAsMargin)
{
    glm::vec4 plane(1, 0, 0, 0); // x >= 0 is inside
    EXPECT_TRUE(box({1, 0, 0}, {2, 1, 1}).passesPlane(plane));
    EXPECT_TRUE(box({-1, 0, 0}, {1, 1, 1}).passesPlane(plane)); // straddles
    // Size 1: passes down to a centre one full size beyond the plane, that is a box
    // lying entirely outside by up to half its size.
    EXPECT_TRUE(box({-1.5f, 0, 0}, {-0.5f, 1, 1}).passesPlane(plane));
    EXPECT_FALSE(box({-1.6f, 0, 0}, {-0.6f, 1, 1}).passesPlane(plane));
    // Tilted plane: |a|*sizeX + |b|*sizeY + |c|*sizeZ.
    glm::vec4 tilted(-0.6f, 0.8f, 0.0f, -10.0f);
    BoundingAABB b = box({0, 0, 0}, {2, 2, 2}); // centre (1, 1, 1): distance -9.8, reach 2.8
    EXPECT_FALSE(b.passesPlane(tilted));
    tilted.w = -3.0f; // distance -2.8, reach 2.8: on the limit
    EXPECT_TRUE(b.passesPlane(tilted));
}

TEST(Culling, FrustumTestMarksActiveBoxesOnly)
{
    Frustum f = cube();
    BoundingAABB inside = box({-0.5f, -0.5f, 0.1f}, {0.5f, 0.5f, 0.5f});
    inside.testFrustum(f);
    EXPECT_EQ(inside.visible, 1);

    BoundingAABB outside = box({5, 5, 5}, {6, 6, 6});
    outside.visible = 1;
    outside.testFrustum(f);
    EXPECT_EQ(outside.visible, 0);

    // Partly outside but passing all six planes: visible.
    BoundingAABB partly = box({0.5f, 0, 0.2f}, {3, 0.5f, 0.4f});
    partly.testFrustum(f);
    EXPECT_EQ(partly.visible, 1);
    // A point box (radius 0) works as any other.
    BoundingAABB point = box({0.2f, 0.2f, 0.5f}, {0.2f, 0.2f, 0.5f});
    point.testFrustum(f);
    EXPECT_EQ(point.visible, 1);

    // Inactive boxes keep their flag whatever they hold.
    BoundingAABB idle = box({100, 100, 100}, {101, 101, 101});
    idle.active = 0;
    idle.visible = 1;
    idle.testFrustum(f);
    EXPECT_EQ(idle.visible, 1);

    BoundingAABB cleared = box({0, 0, 0}, {1, 1, 1});
    cleared.clear();
    EXPECT_EQ(cleared.active, 0);
    EXPECT_EQ(cleared.minX, 1e8f);
    EXPECT_EQ(cleared.maxZ, -1e8f);
}

TEST(Culling, FrustumOfARealCameraCullsBehind)
{
    glm::mat4 projection = glm::perspective(glm::radians(60.0f), 16.0f / 9.0f, 2.5f, 2000.0f);
    glm::mat4 view = glm::lookAt(glm::vec3(0, 10, 0), glm::vec3(0, 10, 100), glm::vec3(0, 1, 0));
    Frustum f;
    f.fromMatrix(projection * view);
    BoundingAABB ahead = box({-5, 5, 50}, {5, 15, 60});
    BoundingAABB behind = box({-5, 5, -60}, {5, 15, -50});
    BoundingAABB farAway = box({-5, 5, 5000}, {5, 15, 5010});
    for (BoundingAABB* b : {&ahead, &behind, &farAway}) b->testFrustum(f);
    EXPECT_EQ(ahead.visible, 1);
    EXPECT_EQ(behind.visible, 0);
    EXPECT_EQ(farAway.visible, 0);
}

TEST(Culling, GridBinsPositionsIntoCells)
{
    CullingGrid grid({-512.0f, -512.0f}, {32.0f, 32.0f}, {32, 32});
    ASSERT_EQ(grid.cells.size(), 1024u);
    // On a cell's lower edge: that cell.
    BoundingAABB* a = grid.expandCell({-480.0f, 3.0f, -512.0f}, 1.0f);
    EXPECT_EQ(a, &grid.cells[1]);
    EXPECT_EQ(a->minX, -481.0f);
    EXPECT_EQ(a->maxY, 4.0f);
    EXPECT_EQ(a->active, 1);
    // Slightly before the origin (less than a cell): still column and row 0.
    EXPECT_EQ(grid.expandCell({-520.0f, 0.0f, -530.0f}, 0.0f), &grid.cells[0]);
    // Exactly one cell before: outside.
    EXPECT_EQ(grid.expandCell({-544.0f, 0.0f, 0.0f}, 0.0f), nullptr);
    // The far edge belongs to no cell; just below it to the last one.
    EXPECT_EQ(grid.expandCell({512.0f, 0.0f, 0.0f}, 1.0f), nullptr);
    EXPECT_EQ(grid.expandCell({0.0f, 0.0f, 512.0f}, 1.0f), nullptr);
    EXPECT_EQ(grid.expandCell({511.9f, 0.0f, 511.9f}, 1.0f), &grid.cells[1023]);

    // Two objects in one cell share its box, which grows around both.
    BoundingAABB* b = grid.expandCell({-470.0f, -2.0f, -500.0f}, 2.0f);
    EXPECT_EQ(b, a);
    EXPECT_EQ(b->minY, -4.0f);
    EXPECT_EQ(b->maxX, -468.0f);
    EXPECT_EQ(b->minX, -481.0f);

    // Active cells in the order they were first entered, each once.
    ASSERT_EQ(grid.activeCells.size(), 3u);
    EXPECT_EQ(grid.activeCells[0], &grid.cells[1]);
    EXPECT_EQ(grid.activeCells[1], &grid.cells[0]);
    EXPECT_EQ(grid.activeCells[2], &grid.cells[1023]);

    grid.reset();
    EXPECT_TRUE(grid.activeCells.empty());
    for (const BoundingAABB& cell : grid.cells) {
        EXPECT_EQ(cell.active, 0);
        EXPECT_EQ(cell.minX, 1e8f);
        EXPECT_EQ(cell.maxY, -1e8f);
    }
}

TEST(Culling, GridRefusesPositionsThatAreNotNumbersOrFarAway)
{
    CullingGrid grid({-512.0f, -512.0f}, {32.0f, 32.0f}, {32, 32});
    const f32 nan = std::numeric_limits<f32>::quiet_NaN();
    const f32 inf = std::numeric_limits<f32>::infinity();
    for (glm::vec3 p : {glm::vec3(nan, 0, 0), glm::vec3(0, 0, nan), glm::vec3(inf, 0, 0), glm::vec3(-inf, 0, 0),
                        glm::vec3(0, 0, -inf), glm::vec3(1e30f, 0, 0), glm::vec3(-1e30f, 0, 0),
                        glm::vec3(0, 0, 3e9f)}) {
        EXPECT_EQ(grid.expandCell(p, 1.0f), nullptr);
    }
    EXPECT_TRUE(grid.activeCells.empty());
    // A position inside with y not a number still bins by x and z; nothing undefined.
    EXPECT_NE(grid.expandCell(glm::vec3(0, nan, 0), 1.0f), nullptr);

    // A degenerate grid gives no cell at all.
    CullingGrid empty({0.0f, 0.0f}, {0.0f, 32.0f}, {0, 0});
    EXPECT_EQ(empty.expandCell({0.0f, 0.0f, 0.0f}, 1.0f), nullptr);
}

TEST(Culling, GridTestsOnlyItsActiveCells)
{
    CullingGrid grid({-512.0f, -512.0f}, {32.0f, 32.0f}, {32, 32});
    Frustum f = cube(); // sees around the origin only
    BoundingAABB* near = grid.expandCell({0.0f, 0.0f, 0.5f}, 0.2f);
    BoundingAABB* far = grid.expandCell({400.0f, 0.0f, 400.0f}, 0.2f);
    grid.cells[5].visible = 1; // never entered: left alone
    grid.testFrustum(f);
    EXPECT_EQ(near->visible, 1);
    EXPECT_EQ(far->visible, 0);
    EXPECT_EQ(grid.cells[5].visible, 1);
    grid.markAllVisible();
    EXPECT_EQ(far->visible, 1);
}
