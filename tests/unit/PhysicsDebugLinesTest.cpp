#include "Engine/Physics/DebugLines.h"

#include <gtest/gtest.h>

TEST(PhysicsDebugLines, OnlyWholeLinesThatFitIntoOneHalfAreDrawn)
{
    EXPECT_EQ(drawableLineCount(0, LineStorageSize), 0u);
    EXPECT_EQ(drawableLineCount(1, LineStorageSize), 0u) << "a lone end point is no line";
    EXPECT_EQ(drawableLineCount(7, LineStorageSize), 3u);
    // 100 bytes hold two 48-byte lines.
    EXPECT_EQ(drawableLineCount(10, 100), 2u);
    EXPECT_EQ(drawableLineCount(4, 96), 2u);
    // The engine's 50,000,000-byte half holds 1,041,666 lines, however many come.
    EXPECT_EQ(drawableLineCount(static_cast<size_t>(-1), LineStorageSize), 1041666u);
    EXPECT_LE(static_cast<u64>(drawableLineCount(3000000, LineStorageSize)) * LineBytes, LineStorageSize);
}
