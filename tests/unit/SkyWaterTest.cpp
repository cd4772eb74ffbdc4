#include "World/Sky/SkySettings.h"
#include "World/Sky/Skybox.h"
#include "World/Sky/SunControl.h"
#include "World/Water/Water.h"
#include "World/Water/WaterGrid.h"
#include "World/Water/WaterSettings.h"

#include <gtest/gtest.h>
#include <imgui.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <set>
#include <utility>
#include <vector>

namespace {

// A block image built field by field at the given byte offsets.
class ByteImage {
public:
    explicit ByteImage(size_t size) : bytes(size, 0) {}
    ByteImage& f32At(size_t offset, f32 value)
    {
        std::memcpy(bytes.data() + offset, &value, 4);
        return *this;
    }
    ByteImage& i32At(size_t offset, i32 value)
    {
        std::memcpy(bytes.data() + offset, &value, 4);
        return *this;
    }
    ByteImage& vec3At(size_t offset, f32 x, f32 y, f32 z) { return f32At(offset, x).f32At(offset + 4, y).f32At(offset + 8, z); }
    std::vector<u8> bytes;
};

template <typename T> std::vector<u8> bytesOf(const T& value)
{
    std::vector<u8> bytes(sizeof(T));
    std::memcpy(bytes.data(), &value, sizeof(T));
    return bytes;
}

// The frames it takes to hold a key for one second at 60 frames per second.
f32 turnForOneSecond(f32 angle, SunKeys keys)
{
    for (int frame = 0; frame < 60; frame++) angle = turnSun(angle, keys, 1000.0f / 60.0f);
    return angle;
}

} // namespace

TEST(SkyParams, DefaultsByteForByte)
{
    // Rayleigh coefficients (400 nm / wavelength)^4 for 700, 530 and 440 nm.
    const f32 red = std::pow(0.5714286f, 4.0f), green = std::pow(0.754717f, 4.0f), blue = std::pow(0.90909094f, 4.0f);
    EXPECT_NEAR(red, 0.10662, 1e-5);
    EXPECT_NEAR(green, 0.32444, 1e-5);
    EXPECT_NEAR(blue, 0.68301, 1e-5);

    ByteImage expected(88);
    expected.vec3At(0, 0.0f, 1.0f, 0.0f) // the sun: set by every update, not by the defaults
        .vec3At(16, 1.0f, 1.0f, 1.0f)
        .vec3At(32, red, green, blue)
        .f32At(48, 12742.0f)
        .f32At(52, 1000.0f)
        .f32At(56, 0.125f)
        .f32At(60, 1.0f)
        .f32At(64, 1.8f)
        .f32At(68, 1.5f)
        .f32At(72, 0.8f)
        .f32At(76, 1.5f)
        .i32At(80, 12)
        .i32At(84, 6);
    EXPECT_EQ(bytesOf(SkyboxParams()), expected.bytes);
}

TEST(WaterParamsDefaults, ByteForByteWithZeroMatrixScaleAndPadding)
{
    ByteImage expected(164);
    expected.vec3At(64, std::pow(0.5714286f, 4.0f), std::pow(0.754717f, 4.0f), std::pow(0.90909094f, 4.0f))
        .vec3At(80, 0.6f, 0.08f, 0.015f)
        .f32At(104, 120.0f)
        .f32At(108, 0.0f)
        .f32At(112, 1.0f)
        .f32At(116, 18.0f)
        .f32At(120, 0.2197f)
        .i32At(124, 30)
        .f32At(128, 0.946f)
        .f32At(132, 0.753f)
        .f32At(136, 1.215f)
        .f32At(140, 1.1f)
        .f32At(144, 0.201f)
        .f32At(148, 0.05f)
        .f32At(152, 35.0f)
        .f32At(156, 0.8f)
        .i32At(160, 3);
    EXPECT_EQ(bytesOf(WaterParams()), expected.bytes);
    // The water's scatter starts as the sky's.
    EXPECT_EQ(WaterParams().rgbScatter, SkyboxParams().rgbScatter);
}

TEST(SunControl, ArrowKeysTurnTheSunBySecondsNotFrames)
{
    EXPECT_NEAR(turnForOneSecond(1.0f, {.right = true}), 1.05f, 1e-5f);
    EXPECT_NEAR(turnForOneSecond(1.0f, {.right = true, .shift = true}), 1.5f, 1e-5f);
    EXPECT_NEAR(turnForOneSecond(1.0f, {.left = true}), 0.95f, 1e-5f);
    EXPECT_NEAR(turnForOneSecond(1.0f, {.left = true, .shift = true}), 0.5f, 1e-5f);
    EXPECT_EQ(turnForOneSecond(1.0f, {.left = true, .right = true}), 1.0f);
    EXPECT_EQ(turnForOneSecond(1.0f, {.left = true, .right = true, .shift = true}), 1.0f);
    EXPECT_EQ(turnForOneSecond(1.0f, {.shift = true}), 1.0f);
    // At 30 frames per second the same second turns the same angle.
    f32 angle = 1.0f;
    for (int frame = 0; frame < 30; frame++) angle = turnSun(angle, {.right = true}, 1000.0f / 30.0f);
    EXPECT_NEAR(angle, 1.05f, 1e-5f);
}

TEST(SunControl, AngleStaysWithinOneTurn)
{
    // From 6.28 a step of 0.01 passes 2 pi and comes round to about 0.0068.
    EXPECT_NEAR(turnSun(6.28f, {.right = true}, 200.0f), 0.0068145f, 1e-5f);
    // The start angle -1 wraps to 2 pi - 1 on the first update.
    EXPECT_NEAR(turnSun(SunControl::StartAngle, {}, 16.0f), 5.2831855f, 1e-5f);
    EXPECT_NEAR(turnSun(0.01f, {.left = true}, 400.0f), 6.2731855f, 1e-5f);
    // A tiny negative angle rounds to exactly a full turn in floats: it becomes 0.
    for (f32 angle : {-1e-9f, -1e-8f, -3e-7f, 6.2831855f, 12.566371f, -6.2831855f, 1e6f, -1e6f}) {
        f32 wrapped = wrapSunAngle(angle);
        EXPECT_GE(wrapped, 0.0f) << angle;
        EXPECT_LT(wrapped, SunControl::FullTurn) << angle;
    }
    EXPECT_EQ(wrapSunAngle(3.0f), 3.0f);
}

TEST(SunControl, DirectionMovesInTheXYPlane)
{
    glm::vec3 noon = sunDirectionOf(0.0f);
    EXPECT_NEAR(noon.x, 0.0f, 1e-6f);
    EXPECT_NEAR(noon.y, 1.0f, 1e-6f);
    glm::vec3 start = sunDirectionOf(wrapSunAngle(SunControl::StartAngle));
    EXPECT_NEAR(start.x, -0.841f, 1e-3f);
    EXPECT_NEAR(start.y, 0.540f, 1e-3f);
    EXPECT_EQ(start.z, 0.0f);
    EXPECT_NEAR(glm::length(sunDirectionOf(2.5f)), 1.0f, 1e-6f);
    EXPECT_LT(sunDirectionOf(3.14159f).y, -0.99f); // midnight: straight down
}

TEST(SunControl, ResetRestoresEverythingButTheSun)
{
    SkyboxParams params;
    params.sunDirection = sunDirectionOf(2.0f);
    params.sunColor = glm::vec3(0.2f, 0.3f, 0.4f);
    params.rgbScatter = glm::vec3(0.5f);
    params.planetRadius = 100.0f;
    params.atmosphereThickness = 20.0f;
    params.atmosphereAveragePoint = 0.5f;
    params.atmosphereDensity = 3.0f;
    params.rayleighIntensity = 0.1f;
    params.mieIntensity = 9.0f;
    params.mieFactor = 0.99f;
    params.exposure = 4.0f;
    params.mainRaySteps = 99;
    params.subScatterSteps = 1;

    resetSkyParams(params);
    SkyboxParams expected;
    expected.sunDirection = sunDirectionOf(2.0f);
    EXPECT_EQ(bytesOf(params), bytesOf(expected));
}

TEST(WaterGridMesh, VerticesCoverClipSpaceCornerToCorner)
{
    std::vector<glm::vec2> vertices = waterGridVertices();
    ASSERT_EQ(vertices.size(), 10000u);
    EXPECT_EQ(vertices[0], glm::vec2(-1.0f, -1.0f));
    EXPECT_EQ(vertices[99 * 100 + 99], glm::vec2(1.0f, 1.0f));
    EXPECT_EQ(vertices[99], glm::vec2(1.0f, -1.0f)); // i runs along x
    EXPECT_EQ(vertices[9900], glm::vec2(-1.0f, 1.0f)); // j along y
    EXPECT_NEAR(vertices[1].x, 2.0f / 99.0f - 1.0f, 1e-6f);
    for (const glm::vec2& v : vertices) {
        ASSERT_GE(v.x, -1.0f);
        ASSERT_LE(v.x, 1.0f);
        ASSERT_GE(v.y, -1.0f);
        ASSERT_LE(v.y, 1.0f);
    }
}

TEST(WaterGridMesh, IndicesMakeTwoTrianglesPerCell)
{
    std::vector<u32> indices = waterGridIndices();
    ASSERT_EQ(indices.size(), 58806u);
    ASSERT_EQ(indices.size(), WaterGrid::IndexCount);
    // The first cell, then the next one along j (inner loop), then the first of i = 1.
    EXPECT_EQ(std::vector<u32>(indices.begin(), indices.begin() + 6), (std::vector<u32>{0, 100, 101, 0, 101, 1}));
    EXPECT_EQ(std::vector<u32>(indices.begin() + 6, indices.begin() + 12),
              (std::vector<u32>{100, 200, 201, 100, 201, 101}));
    EXPECT_EQ(std::vector<u32>(indices.begin() + 99 * 6, indices.begin() + 99 * 6 + 6),
              (std::vector<u32>{1, 101, 102, 1, 102, 2}));
    EXPECT_EQ(indices.back(), 9899u); // last cell: b = 98 + 100 * 98, its last index b + 1

    // Every cell is covered exactly once, by two triangles that turn the same way.
    std::vector<glm::vec2> vertices = waterGridVertices();
    std::set<u32> cells;
    f32 firstSign = 0.0f;
    for (size_t t = 0; t < indices.size(); t += 3) {
        ASSERT_LT(indices[t], 10000u);
        ASSERT_LT(indices[t + 1], 10000u);
        ASSERT_LT(indices[t + 2], 10000u);
        glm::vec2 a = vertices[indices[t]], b = vertices[indices[t + 1]], c = vertices[indices[t + 2]];
        f32 area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
        ASSERT_NE(area, 0.0f);
        if (firstSign == 0.0f) firstSign = area;
        ASSERT_GT(area * firstSign, 0.0f) << "triangle " << t / 3;
        if (t % 6 == 0) cells.insert(indices[t]);
    }
    EXPECT_EQ(cells.size(), 99u * 99u);
}

namespace {

// The settings windows in a context of their own, driven by simulated mouse input as
// the game's interface back-end would drive them.
class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = ImGui::GetCurrentContext();
        context = ImGui::CreateContext();
        ImGui::SetCurrentContext(context);
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        unsigned char* pixels = nullptr;
        int width = 0, height = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    }

    void TearDown() override
    {
        ImGui::DestroyContext(context);
        ImGui::SetCurrentContext(previous);
    }

    // One frame with the controls in a window; remembers where the last one (the
    // "Reset" button) was.
    void frame(const std::function<void()>& controls)
    {
        ImGuiIO& io = ImGui::GetIO();
        io.DisplaySize = ImVec2(1280.0f, 900.0f);
        io.DeltaTime = 1.0f / 60.0f;
        io.MousePos = mouse;
        io.MouseDown[0] = mouseDown;
        ImGui::NewFrame();
        ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f));
        ImGui::SetNextWindowSize(ImVec2(700.0f, 850.0f));
        ImGui::Begin("Settings");
        controls();
        ImVec2 min = ImGui::GetItemRectMin(), max = ImGui::GetItemRectMax();
        lastItem = ImVec2((min.x + max.x) * 0.5f, (min.y + max.y) * 0.5f);
        ImGui::End();
        ImGui::Render();
    }

    // Hover, press and release over the last control.
    void clickLastControl(const std::function<void()>& controls)
    {
        frame(controls);
        mouse = lastItem;
        frame(controls);
        mouseDown = true;
        frame(controls);
        mouseDown = false;
        frame(controls);
        mouse = ImVec2(-1000.0f, -1000.0f);
    }

    ImGuiContext* previous = nullptr;
    ImGuiContext* context = nullptr;
    ImVec2 mouse{-1000.0f, -1000.0f};
    bool mouseDown = false;
    ImVec2 lastItem{};
};

} // namespace

TEST_F(SettingsWindowTest, UntouchedSkyControlsLeaveTheSizesExact)
{
    // 12742 shown as 12.742 km and multiplied back would creep to 12742.004.
    SkyboxParams params;
    const std::vector<u8> before = bytesOf(params);
    for (int i = 0; i < 200; i++) frame([&] { drawSkySettings(params); });
    EXPECT_EQ(bytesOf(params), before);
    EXPECT_EQ(params.planetRadius, 12742.0f);
}

TEST_F(SettingsWindowTest, SkyResetButtonKeepsTheSun)
{
    SkyboxParams params;
    params.sunDirection = sunDirectionOf(4.0f);
    params.exposure = 3.0f;
    params.planetRadius = 100.0f;
    params.mainRaySteps = 50;
    clickLastControl([&] { drawSkySettings(params); });

    SkyboxParams expected;
    expected.sunDirection = sunDirectionOf(4.0f);
    EXPECT_EQ(bytesOf(params), bytesOf(expected));
}

TEST_F(SettingsWindowTest, WaterResetButtonRestoresEveryFieldAndTheTime)
{
    WaterParams params;
    params.time = 42.0f;
    params.iterations = 7;
    params.depth = 900.0f;
    params.prepassScale = glm::vec2(0.5f);
    params.inverseViewProjection = glm::mat4(2.0f);
    clickLastControl([&] { drawWaterSettings(params); });

    // The whole block is replaced: the matrix and the scale too, until the next update.
    EXPECT_EQ(bytesOf(params), bytesOf(WaterParams()));
    EXPECT_EQ(params.time, 0.0f);
}

TEST_F(SettingsWindowTest, UntouchedWaterControlsChangeNothing)
{
    WaterParams params;
    params.time = 3.5f;
    const std::vector<u8> before = bytesOf(params);
    for (int i = 0; i < 20; i++) frame([&] { drawWaterSettings(params); });
    EXPECT_EQ(bytesOf(params), before);
}
