#include "Engine/Mesh/MeshStorageHolders.h"
#include "Engine/Mesh/ModelImport.h"

#include <gtest/gtest.h>

#include <vector>

// Which holder the record of a storage names as holding the most, for writes in
// different orders.
TEST(MeshStorageHolders, NamesTheHolderOfTheMostBytes)
{
    struct Case {
        const char* name;
        std::vector<MeshStorageHolder> writes;
        MeshStorageHolder expected;
    };
    const Case cases[] = {
        {"nothing recorded", {}, {"", 0}},
        {"only holders of no bytes", {{"a", 0}}, {"", 0}},
        {"the largest first",
         {{"model \"wall.glb\"", 9'998'000}, {"model \"portal.glb\"", 48'000}, {"the bomb's sphere", 6288}},
         {"model \"wall.glb\"", 9'998'000}},
        {"the largest between others", {{"a", 10}, {"b", 30}, {"c", 20}}, {"b", 30}},
        {"equals: the first recorded", {{"a", 30}, {"b", 30}}, {"a", 30}},
        {"a holder recorded twice holds the sum", {{"a", 20}, {"b", 30}, {"a", 20}}, {"a", 40}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        MeshStorageHolders holders;
        for (const MeshStorageHolder& write : test.writes) holders.record(write.name, write.bytes);
        const MeshStorageHolder largest = holders.largest();
        EXPECT_EQ(largest.name, test.expected.name);
        EXPECT_EQ(largest.bytes, test.expected.bytes);
    }
}

// The line about a mesh storage without room: as it always read while nothing holds
// any of the storage, else ending with the holder of the most; the same for a model
// (through the room the loader hands the importer) and for a shape the game makes.
TEST(MeshStorageHolders, TheLineForAFullStorageNamesWhatHoldsTheMost)
{
    const MeshStorageHolder wall{"model \"assets/Buildings/BdWall/wall.glb\"", 9'998'000};
    MeshStorageRoom room{112, 10'000'000, 16, {}};
    const std::string model = "model \"assets/Buildings/BdPortal/portal.glb\" is too large for the mesh storage: its 900 "
                              "vertices and 1200 indices take 40000 bytes, and 112 of the storage's 10000000 are left";
    EXPECT_EQ(modelTooLargeMessage("assets/Buildings/BdPortal/portal.glb", 900, 1200, 40'000, room), model);
    room.largestHolder = wall;
    EXPECT_EQ(modelTooLargeMessage("assets/Buildings/BdPortal/portal.glb", 900, 1200, 40'000, room),
              model + "; model \"assets/Buildings/BdWall/wall.glb\" holds the most of it (9998000 bytes)");

    EXPECT_EQ(tooLargeForMeshStorageMessage("the box of the heavy enemy kind", 24, 36, 912, 112, 10'000'000, wall),
              "the box of the heavy enemy kind is too large for the mesh storage: its 24 vertices and 36 indices take "
              "912 bytes, and 112 of the storage's 10000000 are left; model \"assets/Buildings/BdWall/wall.glb\" "
              "holds the most of it (9998000 bytes)");
}
