// A look at the generated models as the game's camera sees them: every model is
// imported as the game imports it, projected with the camera's own matrices, culled
// with the game's front-face rule and drawn flat-shaded over a patch of grass into a
// PPM image. Disabled in normal runs; run it by hand with
//   BRACKENHOLD_MODEL_PREVIEW=models.ppm unit_tests --gtest_also_run_disabled_tests
//     --gtest_filter=ModelPreview.*
#include "Engine/Camera/CameraMath.h"
#include "Engine/Mesh/ModelImport.h"

#include <glm/gtc/quaternion.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

namespace fs = std::filesystem;

namespace {

constexpr int cellSize = 420;
constexpr int columns = 3;
constexpr int rows = 2;

struct Image {
    int width = cellSize * columns;
    int height = cellSize * rows;
    std::vector<glm::vec3> color = std::vector<glm::vec3>(size_t(width) * height, glm::vec3(0.55f, 0.7f, 0.85f));
    std::vector<f32> depth = std::vector<f32>(size_t(width) * height, std::numeric_limits<f32>::max());
};

struct View {
    glm::mat4 projection;
    glm::mat4 view;
    glm::ivec2 origin; // top-left pixel of the cell
};

f32 toSrgb(f32 linear)
{
    linear = glm::clamp(linear, 0.0f, 1.0f);
    return linear <= 0.0031308f ? linear * 12.92f : 1.055f * std::pow(linear, 1.0f / 2.4f) - 0.055f;
}

glm::vec3 fromSrgb(int r, int g, int b)
{
    auto c = [](int v) {
        f32 x = static_cast<f32>(v) / 255.0f;
        return x <= 0.04045f ? x / 12.92f : std::pow((x + 0.055f) / 1.055f, 2.4f);
    };
    return {c(r), c(g), c(b)};
}

// Draws one triangle if it faces the camera by the game's rule: front faces run
// clockwise in framebuffer coordinates (y down), i.e. a positive shoelace sum here.
void drawTriangle(Image& image, const View& view, const glm::vec3 world[3], glm::vec3 color)
{
    const glm::ivec2 cell(cellSize, cellSize);
    glm::vec3 p[3];
    for (int i = 0; i < 3; i++) {
        glm::vec4 clip = view.projection * view.view * glm::vec4(world[i], 1.0f);
        if (clip.w <= 0.0f) {
            return;
        }
        p[i] = projectToScreen(view.projection, view.view, world[i], cell);
    }
    f32 area = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[2].x - p[0].x) * (p[1].y - p[0].y);
    if (area <= 0.0f) {
        return;
    }
    glm::vec3 normal = glm::normalize(glm::cross(world[1] - world[0], world[2] - world[0]));
    const glm::vec3 sun = glm::normalize(glm::vec3(0.45f, 1.0f, 0.3f));
    glm::vec3 shaded = color * (0.35f + 0.65f * std::max(0.0f, glm::dot(normal, sun)));

    int x0 = std::max(0, static_cast<int>(std::floor(std::min({p[0].x, p[1].x, p[2].x}))));
    int x1 = std::min(cellSize - 1, static_cast<int>(std::ceil(std::max({p[0].x, p[1].x, p[2].x}))));
    int y0 = std::max(0, static_cast<int>(std::floor(std::min({p[0].y, p[1].y, p[2].y}))));
    int y1 = std::min(cellSize - 1, static_cast<int>(std::ceil(std::max({p[0].y, p[1].y, p[2].y}))));
    for (int y = y0; y <= y1; y++) {
        for (int x = x0; x <= x1; x++) {
            glm::vec2 s(static_cast<f32>(x) + 0.5f, static_cast<f32>(y) + 0.5f);
            f32 w0 = (p[2].x - p[1].x) * (s.y - p[1].y) - (s.x - p[1].x) * (p[2].y - p[1].y);
            f32 w1 = (p[0].x - p[2].x) * (s.y - p[2].y) - (s.x - p[2].x) * (p[0].y - p[2].y);
            f32 w2 = (p[1].x - p[0].x) * (s.y - p[0].y) - (s.x - p[0].x) * (p[1].y - p[0].y);
            if (w0 < 0 || w1 < 0 || w2 < 0) {
                continue;
            }
            f32 z = (w0 * p[0].z + w1 * p[1].z + w2 * p[2].z) / area;
            size_t index = size_t(view.origin.y + y) * size_t(cellSize * columns) + size_t(view.origin.x + x);
            if (z < image.depth[index]) {
                image.depth[index] = z;
                image.color[index] = shaded;
            }
        }
    }
}

glm::vec3 attribute3(const ImportedMesh& mesh, u32 kind, u32 vertex, glm::vec3 fallback)
{
    for (u32 i = 0; i < mesh.layout->attributes.size(); i++) {
        if (mesh.layout->attributes[i].kind == kind) {
            glm::vec3 v;
            std::memcpy(&v, static_cast<const u8*>(mesh.vertices.stream(i)) + size_t(vertex) * mesh.layout->attributes[i].size,
                        sizeof v);
            return v;
        }
    }
    return fallback;
}

void drawMesh(Image& image, const View& view, const ImportedMesh& mesh, const glm::mat4& model, glm::vec3 fallback)
{
    for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        glm::vec3 world[3];
        glm::vec3 color(0.0f);
        for (int k = 0; k < 3; k++) {
            u32 v = mesh.indices[i + k];
            world[k] = glm::vec3(model * glm::vec4(attribute3(mesh, AttributePosition, v, {}), 1.0f));
            color += attribute3(mesh, AttributeVertexColor, v, fallback) / 3.0f;
        }
        drawTriangle(image, view, world, color);
    }
}

void drawGround(Image& image, const View& view, f32 half)
{
    const glm::vec3 grass = fromSrgb(88, 128, 56), soil = fromSrgb(120, 92, 60);
    const f32 step = 1.0f;
    for (f32 x = -half; x < half; x += step) {
        for (f32 z = -half; z < half; z += step) {
            glm::vec3 color = (static_cast<int>(std::floor(x * 0.5f) + std::floor(z * 0.5f)) & 1) ? grass : grass * 0.92f;
            if (x + z > half * 0.6f) {
                color = soil;
            }
            glm::vec3 a(x, 0, z), b(x, 0, z + step), c(x + step, 0, z + step), d(x + step, 0, z);
            glm::vec3 t0[3] = {a, b, c}, t1[3] = {a, c, d};
            drawTriangle(image, view, t0, color);
            drawTriangle(image, view, t1, color);
        }
    }
}

View cellView(int column, int row, glm::vec3 target, f32 distance, f32 yaw, f32 pitch)
{
    View view;
    glm::vec3 forward = forwardFromAngles(yaw, pitch);
    view.projection = perspectiveProjection(40.0f, 1.0f, 0.5f, 500.0f);
    view.view = viewAlong(target - forward * distance, forward);
    view.origin = {column * cellSize, row * cellSize};
    return view;
}

ImportedModel load(const fs::path& run, const char* file, VertexLayout* layout,
                   const std::vector<MeshLayoutOverride>& overrides = {})
{
    ImportedModel model = importModel((run / file).c_str(), layout, overrides);
    EXPECT_EQ(model.error, "");
    return model;
}

const ImportedMesh* named(const ImportedModel& model, const char* name)
{
    for (const ImportedMesh& mesh : model.meshes) {
        if (mesh.name == name) return &mesh;
    }
    ADD_FAILURE() << "no mesh " << name;
    return nullptr;
}

// A tower as its instances draw it: the base at the pivot, the turret turned by
// R_y(-yaw), the barrel by R_y(-yaw) R_z(pitch).
void drawTower(Image& image, const View& view, const ImportedModel& tower, f32 yaw, f32 pitch)
{
    const glm::vec3 pivot(0, 1.0f, 0);
    glm::mat4 base = glm::translate(glm::mat4(1.0f), pivot);
    glm::mat4 turret = base * glm::rotate(glm::mat4(1.0f), -yaw, glm::vec3(0, 1, 0));
    glm::mat4 barrel = turret * glm::rotate(glm::mat4(1.0f), pitch, glm::vec3(0, 0, 1));
    const glm::vec3 grey(0.5f);
    drawMesh(image, view, *named(tower, "Base"), base, grey);
    drawMesh(image, view, *named(tower, "Turret"), turret, grey);
    drawMesh(image, view, *named(tower, "Cannon"), barrel, grey);
}

} // namespace

TEST(ModelPreview, DISABLED_RenderGeneratedModels)
{
    const fs::path run = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "run";
    const char* target = std::getenv("BRACKENHOLD_MODEL_PREVIEW");
    const fs::path output = target ? fs::path(target) : run.parent_path() / "models.ppm";
    Image image;
    const f32 yaw = 2.4f, pitch = 0.5f;
    const glm::vec3 grey(0.5f);

    ImportedModel castle = load(run, "assets/Buildings/BdCastle/castle.glb", vertexLayoutPosNormalColor);
    View v = cellView(0, 0, {0, 1.8f, 0}, 17.0f, yaw, pitch);
    drawGround(image, v, 9);
    drawMesh(image, v, castle.meshes[0], glm::mat4(1.0f), grey);

    ImportedModel wall = load(run, "assets/Buildings/BdWall/wall.glb", vertexLayoutPosNormalColor);
    v = cellView(1, 0, {0, 1.0f, 0}, 11.0f, yaw, pitch);
    drawGround(image, v, 7);
    for (f32 x : {-2.0f, 0.0f, 2.0f}) {
        drawMesh(image, v, wall.meshes[0], glm::translate(glm::mat4(1.0f), {x, 0, 0}), grey);
    }
    drawMesh(image, v, wall.meshes[0], glm::translate(glm::mat4(1.0f), {2.0f, 0, 1.0f}), grey);

    // The portal's frame takes its colour from a texture: a plain stone colour here.
    ImportedModel portal = load(run, "assets/Buildings/BdPortal/portal.glb", vertexLayoutPosNormalUv,
                                {{"Portal", vertexLayoutPosNormalColorUv}});
    v = cellView(2, 0, {0, 3.0f, 0}, 16.0f, yaw + 0.5f, 0.3f);
    drawGround(image, v, 8);
    drawMesh(image, v, *named(portal, "PortalFrame"), glm::mat4(1.0f), fromSrgb(110, 100, 120));
    drawMesh(image, v, *named(portal, "Portal"), glm::mat4(1.0f), grey);

    ImportedModel cannon = load(run, "assets/Buildings/Towers/TwCannon/cannon.glb", vertexLayoutPosNormalColor);
    v = cellView(0, 1, {0.3f, 0.8f, 0}, 7.0f, yaw, pitch);
    drawGround(image, v, 5);
    drawTower(image, v, cannon, 0.7f, 0.25f);

    ImportedModel mortar = load(run, "assets/Buildings/Towers/TwMortar/mortar.glb", vertexLayoutPosNormalColor);
    v = cellView(1, 1, {0, 0.8f, 0}, 7.0f, yaw, pitch);
    drawGround(image, v, 5);
    drawTower(image, v, mortar, 0.7f, 1.0f);

    // Smoke puffs as a bomb leaves them: a ring of puffs of size 0.5 and more.
    ImportedModel smoke = load(run, "assets/Particles/smoke.glb", vertexLayoutPosNormalColor);
    v = cellView(2, 1, {0, 0.6f, 0}, 8.0f, yaw, pitch);
    drawGround(image, v, 5);
    for (int i = 0; i < 10; i++) {
        f32 a = 6.2831853f * static_cast<f32>(i) / 10.0f;
        f32 size = 0.5f + 0.1f * static_cast<f32>(i % 4);
        glm::mat4 m = glm::translate(glm::mat4(1.0f), {1.6f * std::cos(a), 0.7f, 1.6f * std::sin(a)}) *
                      glm::rotate(glm::mat4(1.0f), a, glm::vec3(std::sin(a), 0, -std::cos(a))) *
                      glm::scale(glm::mat4(1.0f), glm::vec3(size));
        drawMesh(image, v, smoke.meshes[0], m, grey);
    }

    std::ofstream file(output, std::ios::binary);
    file << "P6\n" << image.width << " " << image.height << "\n255\n";
    for (const glm::vec3& c : image.color) {
        const char rgb[3] = {static_cast<char>(toSrgb(c.r) * 255.0f + 0.5f), static_cast<char>(toSrgb(c.g) * 255.0f + 0.5f),
                             static_cast<char>(toSrgb(c.b) * 255.0f + 0.5f)};
        file.write(rgb, 3);
    }
    ASSERT_TRUE(file.good()) << output;
}
