#include "World/Sky/SkyTables.h"

#include <gtest/gtest.h>

// The tables are made again exactly when something they are made from changes.
TEST(SkyTableKey, ChangesWithTheCameraPositionTheSunAndTheParametersTheShadersRead)
{
    SkyboxParams params;
    params.sunDirection = glm::normalize(glm::vec3(-0.8f, 0.5f, 0.0f));
    const glm::vec3 eye(10.0f, 50.0f, -20.0f);
    for (bool optimized : {false, true}) {
        SCOPED_TRACE(optimized ? "optimised" : "normal");
        const SkyTableKey key = skyTableKey(params, eye, 38226.0f, optimized);
        EXPECT_EQ(key, skyTableKey(params, eye, 38226.0f, optimized));
        EXPECT_NE(key, skyTableKey(params, eye + glm::vec3(0.0f, 0.0f, 0.01f), 38226.0f, optimized));
        EXPECT_NE(key, skyTableKey(params, eye, 500000.0f, optimized));
        EXPECT_NE(key, skyTableKey(params, eye, 38226.0f, !optimized));
        SkyboxParams turned = params;
        turned.sunDirection = glm::normalize(glm::vec3(-0.79f, 0.51f, 0.0f));
        EXPECT_NE(key, skyTableKey(turned, eye, 38226.0f, optimized));
        // An edited parameter matters only to the shaders that read the block.
        SkyboxParams edited = params;
        edited.mieFactor = 0.9f;
        edited.mainRaySteps = 20;
        EXPECT_EQ(key == skyTableKey(edited, eye, 38226.0f, optimized), optimized);
    }
}
