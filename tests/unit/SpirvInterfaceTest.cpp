#include "VariablePointerModule.h"

#include "Engine/Mesh/VertexLayout.h"
#include "Engine/Pipeline/ShaderCapabilities.h"
#include "Engine/Pipeline/ShaderFile.h"
#include "Engine/Pipeline/ShaderFit.h"
#include "Engine/Pipeline/SpirvInterface.h"
#include "Engine/Pipeline/VertexInput.h"

#include <gtest/gtest.h>
#include <spirv-tools/libspirv.hpp>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <random>

namespace {

std::string shaderFile(const std::string& name)
{
    return std::string(BRACKENHOLD_RUN_DIR) + "/shaders/" + name + ".spv";
}

std::vector<u32> readShader(const std::string& name)
{
    std::vector<u32> words;
    EXPECT_EQ(readSpirvFile(shaderFile(name), &words), SpirvProblem::None) << name;
    return words;
}

std::vector<u32> assembleText(const std::string& source)
{
    spvtools::SpirvTools tools(SPV_ENV_VULKAN_1_3);
    std::vector<u32> words;
    EXPECT_TRUE(tools.Assemble(source, &words)) << source;
    return words;
}

// A module of one entry point "main" of `model` (Vertex or Fragment) listing `globals`,
// with the declarations of `text` beside a few common types.
std::vector<u32> assemble(const std::string& model, const std::string& globals, const std::string& text)
{
    return assembleText("OpCapability Shader\nOpCapability Float64\nOpMemoryModel Logical GLSL450\n"
                        "OpEntryPoint " + model + " %main \"main\" " + globals + "\n" +
                        (model == "Fragment" ? "OpExecutionMode %main OriginUpperLeft\n" : "") +
                        "%void = OpTypeVoid\n%fn = OpTypeFunction %void\n%float = OpTypeFloat 32\n"
                        "%int = OpTypeInt 32 1\n%uint = OpTypeInt 32 0\n%v2 = OpTypeVector %float 2\n"
                        "%v4 = OpTypeVector %float 4\n%double = OpTypeFloat 64\n" +
                        text + "\n%main = OpFunction %void None %fn\n%entry = OpLabel\nOpReturn\nOpFunctionEnd\n");
}

// A module of two empty functions %v and %f, declaring Shader and the `capabilities`
// lines, with the entry points of `entryPoints`.
std::vector<u32> emptyModule(const std::string& capabilities, const std::string& entryPoints)
{
    return assembleText("OpCapability Shader\n" + capabilities + "OpMemoryModel Logical GLSL450\n" + entryPoints +
                        "%void = OpTypeVoid\n%fn = OpTypeFunction %void\n%v = OpFunction %void None %fn\n"
                        "%l1 = OpLabel\nOpReturn\nOpFunctionEnd\n%f = OpFunction %void None %fn\n"
                        "%l2 = OpLabel\nOpReturn\nOpFunctionEnd\n");
}

// What the functions of olderModule() may do with its globals.
const std::string UseBlock = "%a = OpAccessChain %pv4 %block %zero\n%x = OpLoad %v4 %a\n";
const std::string UseSampler = "%s = OpLoad %si %sampler\n";
const std::string UsePushConstants = "%b = OpAccessChain %ppv4 %push %zero\n%y = OpLoad %v4 %b\n";
const std::string CallHelper = "%c = OpFunctionCall %void %helper\n";
std::string helper(const std::string& body)
{
    return "%helper = OpFunction %void None %fn\n%hl = OpLabel\n" + body + "OpReturn\nOpFunctionEnd\n";
}

// A valid fragment module of SPIR-V 1.0, whose entry point lists no bindings: a uniform
// block at set 0 binding 1, a sampler2D at binding 2 and a push-constant block, which
// `body` of main and the `functions` after it may use.
std::vector<u32> olderModule(const std::string& body, const std::string& functions)
{
    std::vector<u32> words = assembleText(
        "OpCapability Shader\nOpMemoryModel Logical GLSL450\nOpEntryPoint Fragment %main \"main\"\n"
        "OpExecutionMode %main OriginUpperLeft\n"
        "OpDecorate %B Block\nOpMemberDecorate %B 0 Offset 0\nOpDecorate %P Block\nOpMemberDecorate %P 0 Offset 0\n"
        "OpDecorate %block DescriptorSet 0\nOpDecorate %block Binding 1\n"
        "OpDecorate %sampler DescriptorSet 0\nOpDecorate %sampler Binding 2\n"
        "%void = OpTypeVoid\n%fn = OpTypeFunction %void\n%float = OpTypeFloat 32\n%int = OpTypeInt 32 1\n"
        "%v4 = OpTypeVector %float 4\n%zero = OpConstant %int 0\n%B = OpTypeStruct %v4\n%P = OpTypeStruct %v4\n"
        "%img = OpTypeImage %float 2D 0 0 0 1 Unknown\n%si = OpTypeSampledImage %img\n"
        "%pb = OpTypePointer Uniform %B\n%pv4 = OpTypePointer Uniform %v4\n%ps = OpTypePointer UniformConstant %si\n"
        "%pp = OpTypePointer PushConstant %P\n%ppv4 = OpTypePointer PushConstant %v4\n"
        "%block = OpVariable %pb Uniform\n%sampler = OpVariable %ps UniformConstant\n"
        "%push = OpVariable %pp PushConstant\n"
        "%main = OpFunction %void None %fn\n%entry = OpLabel\n" +
        body + "OpReturn\nOpFunctionEnd\n" + functions);
    if (words.size() > 1) words[1] = 0x00010000u;
    EXPECT_EQ(spirvValidationProblem(words), "") << body << functions;
    return words;
}

ShaderInterface reflect(const std::vector<u32>& words, u32 model)
{
    ShaderInterface shader;
    EXPECT_EQ(reflectSpirv(words.data(), words.size(), model, &shader), "");
    return shader;
}

const ShaderSlot* slotAt(const std::vector<ShaderSlot>& slots, u32 location)
{
    for (const ShaderSlot& slot : slots) {
        if (slot.location == location) return &slot;
    }
    return nullptr;
}

bool shadersBuilt()
{
    return std::filesystem::exists(shaderFile("towerVert"));
}

#define REQUIRE_SHADERS()                                                                                     \
    if (!shadersBuilt()) GTEST_SKIP() << "the run directory has no compiled shaders"

// `problem` is empty when `expected` is, else holds it.
void expectProblem(const std::string& problem, const char* expected, const char* what)
{
    if (std::string(expected).empty()) {
        EXPECT_EQ(problem, "") << what;
    } else {
        EXPECT_NE(problem.find(expected), std::string::npos) << what << ": " << problem;
    }
}

// One to four random edits of a module's words.
std::vector<u32> mutated(std::vector<u32> words, std::mt19937& random)
{
    auto at = [&]() -> size_t { return random() % words.size(); };
    // An operand word of a random instruction: edits there keep the stream of
    // instructions whole, so that the reader goes on to the declarations.
    auto operand = [&]() -> size_t {
        std::vector<size_t> starts;
        for (size_t i = 5; i < words.size() && (words[i] >> 16) != 0; i += words[i] >> 16) starts.push_back(i);
        if (starts.empty()) return at();
        size_t start = starts[random() % starts.size()], length = std::max<u32>(words[start] >> 16, 1);
        return std::min(start + random() % length, words.size() - 1);
    };
    for (u32 edits = 1 + random() % 4; edits > 0 && !words.empty(); edits--) {
        switch (random() % 9) {
        case 0: words[at()] ^= 1u << (random() % 32); break;                   // a flipped bit
        case 1: words[at()] = random(); break;                                   // a random word
        case 2: words[operand()] = random() % 64; break;                        // an id, a count, an enum
        case 3: words[operand()] = random() % 4096; break;                      // an id, a location
        case 4: words[operand()] ^= 1u << (random() % 32); break;
        case 5: { size_t i = at(); words[i] = (words[i] & 0xFFFFu) | (random() % 16) << 16; break; } // a word count
        case 6: words.resize(at()); break;                                      // cut short
        case 7: {                                                               // a slice repeated
            size_t from = at(), length = std::min<size_t>(random() % 32, words.size() - from);
            std::vector<u32> slice(words.begin() + static_cast<long>(from),
                                   words.begin() + static_cast<long>(from + length));
            words.insert(words.begin() + static_cast<long>(at()), slice.begin(), slice.end());
            break;
        }
        default: // SPIR-V 1.0, whose bindings the reader looks for in the functions
            if (words.size() > 1) words[1] = 0x00010000u;
        }
    }
    return words;
}

} // namespace

// The reader against what the GLSL sources of a few shaders declare.
TEST(SpirvInterface, ReadsWhatTheGameShadersDeclare)
{
    REQUIRE_SHADERS();
    ShaderInterface tower = reflect(readShader("towerVert"), SpirvVertex);
    ASSERT_EQ(tower.inputs.size(), 3u);
    ASSERT_NE(slotAt(tower.inputs, 2), nullptr);
    EXPECT_EQ(slotAt(tower.inputs, 2)->components, 4u); // vec4 inColor
    EXPECT_EQ(slotAt(tower.inputs, 2)->name, "inColor");
    EXPECT_EQ(tower.outputs.size(), 3u) << "gl_Position is a built-in, not an output slot";
    bool instances = false;
    for (const ShaderResource& resource : tower.resources) {
        instances |= resource.set == 1 && resource.binding == 4 && resource.kind == ShaderResourceKind::StorageBuffer;
    }
    EXPECT_TRUE(instances) << "readonly buffer at set 1 binding 4";

    ShaderInterface fragment = reflect(readShader("towerFrag"), SpirvFragment);
    bool shadowMap = false;
    for (const ShaderResource& resource : fragment.resources) {
        shadowMap |= resource.binding == 3 && resource.kind == ShaderResourceKind::CombinedImageSampler;
    }
    EXPECT_TRUE(shadowMap);

    ShaderInterface ui = reflect(readShader("imguiVert"), SpirvVertex);
    EXPECT_TRUE(ui.hasPushConstants);
    EXPECT_EQ(ui.pushConstantBegin, 0u);
    EXPECT_EQ(ui.pushConstantEnd, 16u); // vec2 scale, vec2 translate
    EXPECT_EQ(reflect(readShader("waterFrag"), SpirvFragment).outputs.size(), 2u);
}

// A module is refused for a stage whose entry point "main" it lacks.
TEST(SpirvInterface, WrongStageTable)
{
    const std::vector<u32> both = emptyModule("", "OpEntryPoint Vertex %v \"main\"\n"
                                                  "OpEntryPoint Fragment %f \"main\"\n"
                                                  "OpExecutionMode %f OriginUpperLeft\n");
    const std::vector<u32> otherName = emptyModule("", "OpEntryPoint Vertex %v \"vertexMain\"\n"
                                                       "OpEntryPoint Fragment %f \"mainly\"\n"
                                                       "OpExecutionMode %f OriginUpperLeft\n");
    ASSERT_EQ(spirvValidationProblem(both), "");
    // More distinct capabilities than SPIR-V defines, each an OpCapability of its own.
    std::vector<u32> declarations;
    for (u32 capability = 0; capability <= 1024; capability++) {
        declarations.insert(declarations.end(), {2u << 16 | 17u /* OpCapability */, capability});
    }
    std::vector<u32> manyCapabilities = both;
    manyCapabilities.insert(manyCapabilities.begin() + 5, declarations.begin(), declarations.end());

    struct Row {
        const char* what;
        std::vector<u32> words;
        u32 model;
        const char* problem; // "" for a module that fits
    };
    std::vector<Row> rows = {
        {"fragment module as vertex", assemble("Fragment", "", ""), SpirvVertex,
         "its entry point \"main\" is a fragment shader, not a vertex shader"},
        {"vertex module as fragment", assemble("Vertex", "", ""), SpirvFragment,
         "its entry point \"main\" is a vertex shader, not a fragment shader"},
        {"entry point of another name", otherName, SpirvVertex, "it has no entry point \"main\""},
        {"both stages, as vertex", both, SpirvVertex, ""},
        {"both stages, as fragment", both, SpirvFragment, ""},
        {"header only", std::vector<u32>(both.begin(), both.begin() + 5), SpirvVertex, "no entry point"},
        {"instruction longer than the module", {SpirvMagic, 0x10600, 0, 10, 0, (9u << 16) | 15u, 0, 1}, SpirvVertex,
         "cannot be read"},
        {"fewer words than a header", {SpirvMagic, 0x10600}, SpirvVertex, "cannot be read"},
        {"1025 capabilities", manyCapabilities, SpirvVertex, "it declares more than 1024 capabilities"},
    };
    if (shadersBuilt()) {
        rows.push_back({"enemyFrag.spv as vertex", readShader("enemyFrag"), SpirvVertex, "is a fragment shader"});
        rows.push_back({"enemyVert.spv as fragment", readShader("enemyVert"), SpirvFragment, "is a vertex shader"});
    }
    for (const Row& row : rows) {
        ShaderInterface shader;
        std::string problem = reflectSpirv(row.words.data(), row.words.size(), row.model, &shader);
        expectProblem(problem, row.problem, row.what);
    }
}

// Declarations that would take the type walks far past the module's length: structures of
// large structures whose members are all skipped (no offset in a push-constant block,
// built-ins in an output block), and many push-constant blocks of one large structure.
// Each is refused at the reader's step bound, which no game shader comes near; the same
// shapes at a small size are read.
TEST(SpirvInterface, LargeDeclarationsStopAtTheStepBound)
{
    enum Shape { PushBlockOfUnplacedMembers, OutputBlockOfBuiltIns, ManyPushBlocks };
    constexpr u32 OpEntryPoint = 15, OpTypeFloat = 22, OpTypeStruct = 30, OpTypePointer = 32, OpVariable = 59,
                  OpMemberDecorate = 72, BuiltIn = 11, Offset = 35, Output = 3, PushConstant = 9;
    constexpr u32 Float = 2, Inner = 3, Middle = 4, Outer = 5, Pointer = 6, FirstVariable = 100;
    // Words too many to assemble from text: a fragment entry point "main" listing its
    // variables, and structures Outer of `size` Middle of `size` Inner of `size` floats.
    auto build = [&](Shape shape, u32 size) {
        std::vector<u32> words = {SpirvMagic, 0x00010600u, 0, 0x00100000u, 0};
        auto op = [&words](u32 opcode, const std::vector<u32>& operands) {
            words.push_back(u32(operands.size() + 1) << 16 | opcode);
            words.insert(words.end(), operands.begin(), operands.end());
        };
        const u32 variables = shape == ManyPushBlocks ? size : 1;
        std::vector<u32> entry = {SpirvFragment, 1, 0x6E69616Du /* "main" */, 0};
        for (u32 v = 0; v < variables; v++) entry.push_back(FirstVariable + v);
        op(OpEntryPoint, entry);
        op(OpTypeFloat, {Float, 32});
        for (u32 level = Inner; level <= Outer; level++) {
            std::vector<u32> members(size + 1, level == Inner ? Float : level - 1);
            members[0] = level;
            op(OpTypeStruct, members);
        }
        for (u32 m = 0; m < size; m++) {
            if (shape == PushBlockOfUnplacedMembers) op(OpMemberDecorate, {Outer, m, Offset, 0});
            if (shape == OutputBlockOfBuiltIns) op(OpMemberDecorate, {Middle, m, BuiltIn, 0});
        }
        const u32 storage = shape == OutputBlockOfBuiltIns ? Output : PushConstant;
        op(OpTypePointer, {Pointer, storage, shape == ManyPushBlocks ? Inner : Outer});
        for (u32 v = 0; v < variables; v++) op(OpVariable, {Pointer, FirstVariable + v, storage});
        return words;
    };
    for (Shape shape : {PushBlockOfUnplacedMembers, OutputBlockOfBuiltIns, ManyPushBlocks}) {
        for (u32 size : {64u, 16000u}) {
            SCOPED_TRACE("shape " + std::to_string(shape) + ", " + std::to_string(size) + " members");
            const std::vector<u32> words = build(shape, size);
            ShaderInterface shader;
            const std::string problem = reflectSpirv(words.data(), words.size(), SpirvFragment, &shader);
            EXPECT_EQ(problem, size == 64 ? "" : "its declarations take more than 1048576 steps to read");
        }
    }

    // Every step of a walk carries the name of its variable: names are cut, so that a step
    // stays cheap whatever the module names.
    const std::vector<u32> named =
        assemble("Fragment", "%out",
                 "OpName %out \"" + std::string(1000, 'n') + "\"\nOpDecorate %out Location 0\n"
                 "%p = OpTypePointer Output %v4\n%out = OpVariable %p Output");
    const ShaderInterface shader = reflect(named, SpirvFragment);
    ASSERT_EQ(shader.outputs.size(), 1u);
    EXPECT_EQ(shader.outputs[0].name, std::string(256, 'n'));
}

// Descriptor bindings of a shader against descriptor-layout strings.
TEST(SpirvInterface, DescriptorMismatchTable)
{
    const std::string block = "OpDecorate %B Block\nOpMemberDecorate %B 0 Offset 0\n%B = OpTypeStruct %v4\n";
    auto resource = [&](const std::string& type, const std::string& storage, const std::string& extra) {
        return assemble("Fragment", "%r",
                        block + extra + "OpDecorate %r DescriptorSet 0\nOpDecorate %r Binding 1\n%p = OpTypePointer " +
                            storage + " " + type + "\n%r = OpVariable %p " + storage);
    };
    const std::string image = "%img = OpTypeImage %float 2D 0 0 0 1 Unknown\n";
    const std::vector<u32> uniform = resource("%B", "Uniform", "");
    const std::vector<u32> storage = resource("%B", "StorageBuffer", "");
    const std::vector<u32> hostileName = resource("%B", "Uniform", "OpName %r \"\x1b[2J\xe2\x80\xae\"\n");
    const std::vector<u32> sampled = resource("%si", "UniformConstant", image + "%si = OpTypeSampledImage %img\n");
    const std::vector<u32> texture = resource("%img", "UniformConstant", image);
    const std::vector<u32> sampler = resource("%s", "UniformConstant", "%s = OpTypeSampler\n");
    const std::vector<u32> storageImage =
        resource("%simg", "UniformConstant", "%simg = OpTypeImage %float 2D 0 0 0 2 Rgba8\n");
    const std::vector<u32> pair = resource(
        "%arr", "UniformConstant",
        image + "%si = OpTypeSampledImage %img\n%two = OpConstant %uint 2\n%arr = OpTypeArray %si %two\n");

    struct Row {
        const char* what;
        std::vector<u32> words;
        const char* layout;
        const char* problem;
        u32 model = SpirvFragment;
    };
    std::vector<Row> rows = {
        {"uniform block, dynamic uniform buffer", uniform, "UBD_0+UBD_1", ""},
        {"storage block, dynamic storage buffer", storage, "UBD_0+SBD_1", ""},
        {"sampler2D, combined image sampler", sampled, "CIS_1", ""},
        {"texture2D, combined image sampler", texture, "CIS_1", ""},
        {"sampler, combined image sampler", sampler, "CIS_1", ""},
        {"binding the layout lacks", uniform, "UBD_0+UBD_2", "set 0 of the layout has no binding 1"},
        {"set the layout lacks", uniform, "", "the layout has no set 0"},
        {"a name holding controls, quoted escaped", hostileName, "", "set 0 binding 1 (\\x1b[2J\\u202e) is a"},
        {"uniform block as storage buffer", uniform, "SBD_1", "makes it a dynamic storage buffer"},
        {"storage block as uniform buffer", storage, "UBD_1", "makes it a dynamic uniform buffer"},
        {"sampler2D as uniform buffer", sampled, "UBD_1", "combined image sampler in the shader"},
        {"uniform block as image", uniform, "CIS_1", "makes it a combined image sampler"},
        {"storage image", storageImage, "CIS_1", "storage image in the shader"},
        {"two samplers for one descriptor", pair, "CIS_1", "an array of 2"},
        // Before SPIR-V 1.4 the entry point does not list its bindings: those its functions
        // use count, and only those.
        {"before 1.4, bindings never used, no layout", olderModule("", ""), "", ""},
        {"before 1.4, bindings never used, typed otherwise", olderModule("", ""), "UBD_0+CIS_1+UBD_2", ""},
        {"before 1.4, a block used only by a function main never calls", olderModule("", helper(UseBlock)), "", ""},
        {"before 1.4, used bindings in their layout", olderModule(UseBlock + CallHelper, helper(UseSampler)),
         "UBD_0+UBD_1+CIS_2", ""},
        {"before 1.4, a used block typed otherwise", olderModule(UseBlock, ""), "UBD_0+CIS_1+CIS_2",
         "makes it a combined image sampler"},
        {"before 1.4, a used block the layout lacks", olderModule(UseBlock, ""), "", "the layout has no set 0"},
        {"before 1.4, a sampler used by a function main calls", olderModule(CallHelper, helper(UseSampler)),
         "UBD_0+UBD_1", "has no binding 2"},
        // A buffer that main reaches only through the pointer a global is initialised with.
        {"before 1.4, a buffer held by a global main reads", variablePointerModule(false), "CIS_0",
         "set 0 binding 3 is a storage buffer in the shader, but set 0 of the layout has no binding 3"},
        {"before 1.4, a buffer held by the global another global holds", variablePointerModule(true), "CIS_0",
         "set 0 binding 3 is a storage buffer in the shader, but set 0 of the layout has no binding 3"},
    };
    if (shadersBuilt()) {
        // The fragment shaders of the tower and the water, each in the other's pipeline.
        rows.push_back({"towerFrag.spv in the water's layout", readShader("towerFrag"),
                        "UBD_0+UBD_1+UBD_2 CIS_3+CIS_4+CIS_5", "set 0 of the layout has no binding 3"});
        rows.push_back({"waterFrag.spv in the tower's layout", readShader("waterFrag"), "UBD_0+UBD_1+UBD_2+CIS_3 SBD_4",
                        "is a combined image sampler in the shader, but"});
        rows.push_back({"shadowInstanceVert.spv without its instance set", readShader("shadowInstanceVert"), "UBD_0",
                        "the layout has no set 1", SpirvVertex});
        rows.push_back(
            {"towerFrag.spv in its own layout", readShader("towerFrag"), "UBD_0+UBD_1+UBD_2+CIS_3 SBD_4", ""});
    }
    for (const Row& row : rows) {
        std::string problem = descriptorFitProblem(reflect(row.words, row.model), parseDescriptorLayout(row.layout));
        expectProblem(problem, row.problem, row.what);
    }
}

// Capabilities a module declares against what the device was created with: each is
// refused on a device without what enables it, named as SPIR-V names it, and taken by one
// with it. The game's own modules are checked in FuzzedModulesNeverCrashTheChecks.
TEST(SpirvInterface, CapabilityTable)
{
    auto declaring = [](const std::string& capability) {
        return emptyModule("OpCapability " + capability + "\n",
                           "OpEntryPoint Fragment %f \"main\"\nOpExecutionMode %f OriginUpperLeft\n");
    };
    const ShaderFeatures everything{true, ~0u};
    struct Row {
        const char* what;
        std::vector<u32> words;
        const char* name;                      // as the refusal names it
        std::optional<ShaderFeatures> enabler; // none: nothing the device is created with enables it
    };
    const Row rows[] = {
        {"a buffer held by a global", variablePointerModule(false), "VariablePointersStorageBuffer", std::nullopt},
        {"a double", assemble("Fragment", "", ""), "Float64", std::nullopt},
        {"descriptor arrays of unknown size", declaring("RuntimeDescriptorArray"), "RuntimeDescriptorArray",
         ShaderFeatures{true, 0}},
        {"subgroup ballots", declaring("GroupNonUniformBallot"), "GroupNonUniformBallot",
         ShaderFeatures{false, VK_SUBGROUP_FEATURE_BASIC_BIT | VK_SUBGROUP_FEATURE_BALLOT_BIT}},
        {"a capability the engine has no name for",
         declaring("Int64ImageEXT\nOpExtension \"SPV_EXT_shader_image_int64\""), "5016", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(spirvValidationProblem(row.words), "");
        const ShaderInterface shader = reflect(row.words, SpirvFragment);
        const std::string refusal =
            std::string("uses the capability ") + row.name + ", which the device was not created with";
        EXPECT_EQ(capabilityProblem(shader, ShaderFeatures{}), refusal);
        EXPECT_EQ(capabilityProblem(shader, row.enabler.value_or(everything)), row.enabler ? "" : refusal);
    }
}

// Vertex inputs of the game's vertex shaders against the game's vertex layouts.
TEST(SpirvInterface, VertexInputMismatchTable)
{
    REQUIRE_SHADERS();
    const std::vector<u32> integer = assemble(
        "Vertex", "%in", "OpDecorate %in Location 0\n%v3i = OpTypeVector %int 3\n%p = OpTypePointer Input %v3i\n"
                         "%in = OpVariable %p Input");
    const std::vector<u32> wide = assemble(
        "Vertex", "%in", "OpDecorate %in Location 0\n%p = OpTypePointer Input %double\n%in = OpVariable %p Input");
    struct Row {
        const char* what;
        std::vector<u32> words;
        VertexLayout* layout;
        bool interleaved;
        const char* problem;
    };
    const Row rows[] = {
        {"towerVert, its layout", readShader("towerVert"), vertexLayoutPosNormalColor, false, ""},
        {"enemyVert, its layout", readShader("enemyVert"), vertexLayoutPosNormalUv, false, ""},
        {"imguiVert, interleaved with packed colour", readShader("imguiVert"), vertexLayoutUi, true, ""},
        {"waterVert, the grid", readShader("waterVert"), vertexLayoutUv, false, ""},
        {"towerVert, a layout with uv", readShader("towerVert"), vertexLayoutPosNormalUv, false,
         "reads 4 components of vertex input location 2 (inColor), but the vertex layout gives 2"},
        {"enemyVert, a layout with colour", readShader("enemyVert"), vertexLayoutPosNormalColor, false,
         "reads 2 components of vertex input location 2 (inUv), but the vertex layout gives 4"},
        {"towerVert, positions only", readShader("towerVert"), vertexLayoutPosition, false,
         "has no attribute at location 1"},
        {"terrainVert, no attributes", readShader("terrainVert"), vertexLayoutEmpty, false,
         "has no attribute at location 0"},
        {"ivec3 from floats", integer, vertexLayoutPosition, false,
         "as signed integer, but the vertex layout gives float"},
        {"double from floats", wide, vertexLayoutPosition, false, "as 64-bit float"},
    };
    for (const Row& row : rows) {
        VertexInputDescription input = describeVertexInput(row.layout->attributes, row.layout->stride, row.interleaved);
        std::string problem = vertexInputFitProblem(reflect(row.words, SpirvVertex), input.attributes);
        expectProblem(problem, row.problem, row.what);
    }
}

// Push constants, colour outputs and the inputs a fragment shader takes from the vertex shader.
TEST(SpirvInterface, PushConstantOutputAndLinkTable)
{
    REQUIRE_SHADERS();
    const ShaderInterface ui = reflect(readShader("imguiVert"), SpirvVertex);
    const ShaderInterface portal = reflect(readShader("portalFrag"), SpirvFragment);
    const ShaderInterface olderUnused = reflect(olderModule("", ""), SpirvFragment);
    const ShaderInterface olderUsed = reflect(olderModule(CallHelper, helper(UsePushConstants)), SpirvFragment);
    const VkShaderStageFlags vertex = VK_SHADER_STAGE_VERTEX_BIT, fragment = VK_SHADER_STAGE_FRAGMENT_BIT;
    struct PushRow {
        const char* what;
        const ShaderInterface& shader;
        std::vector<VkPushConstantRange> ranges;
        const char* problem;
    };
    const PushRow pushRows[] = {
        {"imgui, its range", ui, {{vertex, 0, 16}}, ""},
        {"imgui, a range for all stages", ui, {{vertex | fragment, 0, 64}}, ""},
        {"imgui, no range", ui, {}, "has no push-constant range for its stage"},
        {"imgui, a fragment range", ui, {{fragment, 0, 16}}, "has no push-constant range for its stage"},
        {"imgui, a range too short", ui, {{vertex, 0, 8}}, "no push-constant range of the pipeline"},
        {"portal, its range", portal, {{fragment, 0, 4}}, ""},
        {"portal, a vertex range", portal, {{vertex, 0, 4}}, "has no push-constant range for its stage"},
        {"before 1.4, a block never used, no range", olderUnused, {}, ""},
        {"before 1.4, a block used by a function main calls, no range", olderUsed, {},
         "has no push-constant range for its stage"},
        {"before 1.4, a block used by a function main calls, its range", olderUsed, {{fragment, 0, 16}}, ""},
    };
    for (const PushRow& row : pushRows) {
        std::string problem = pushConstantFitProblem(row.shader, row.ranges);
        EXPECT_EQ(problem.empty(), std::string(row.problem).empty()) << row.what << ": " << problem;
        EXPECT_NE(problem.find(row.problem), std::string::npos) << row.what << ": " << problem;
    }

    const VkFormat colour = VK_FORMAT_B8G8R8A8_SRGB;
    const std::vector<u32> unsignedOut = assemble(
        "Fragment", "%out", "OpDecorate %out Location 0\n%v4u = OpTypeVector %uint 4\n%p = OpTypePointer Output %v4u\n"
                            "%out = OpVariable %p Output");
    const std::vector<u32> secondOnly = assemble(
        "Fragment", "%out", "OpDecorate %out Location 1\n%p = OpTypePointer Output %v4\n%out = OpVariable %p Output");
    struct OutputRow {
        const char* what;
        std::vector<u32> words;
        std::vector<VkFormat> formats;
        bool writes;
        const char* problem;
    };
    const OutputRow outputRows[] = {
        {"towerFrag, one attachment", readShader("towerFrag"), {colour}, true, ""},
        {"waterFrag, two attachments", readShader("waterFrag"), {colour, VK_FORMAT_R32_SFLOAT}, true, ""},
        {"shadowFrag, depth only", readShader("shadowFrag"), {}, true, ""},
        {"towerFrag, depth only", readShader("towerFrag"), {}, true, ""},
        // An output past the attachments is discarded, an attachment no output writes is
        // left undefined: a shader that writes some of the attachments fits.
        {"waterFrag, one attachment", readShader("waterFrag"), {colour}, true, ""},
        {"towerFrag, two attachments", readShader("towerFrag"), {colour, colour}, true, ""},
        {"towerFrag, two attachments left as they are", readShader("towerFrag"), {colour, colour}, false, ""},
        {"location 1 only, two attachments", secondOnly, {colour, colour}, true, ""},
        // One that writes none of them, while the pipeline writes colour, draws nothing defined.
        {"shadowFrag, a colour attachment", readShader("shadowFrag"), {colour}, true,
         "writes no colour output at location 0, where the pass has its colour attachment, so all it would draw "
         "is undefined"},
        {"shadowFrag, a colour attachment left as it is", readShader("shadowFrag"), {colour}, false, ""},
        {"location 1 only, one attachment", secondOnly, {colour}, true, "writes no colour output at location 0"},
        {"shadowFrag, two colour attachments", readShader("shadowFrag"), {colour, colour}, true,
         "no colour output at locations 0 to 1, where the pass has its colour attachments"},
        {"uvec4, an integer target", unsignedOut, {VK_FORMAT_R32_UINT}, true, ""},
        {"uvec4, a colour target", unsignedOut, {colour}, true, "as unsigned integer, but that attachment holds float"},
    };
    for (const OutputRow& row : outputRows) {
        std::string problem = colorOutputFitProblem(reflect(row.words, SpirvFragment), row.formats, row.writes);
        EXPECT_EQ(problem.empty(), std::string(row.problem).empty()) << row.what << ": " << problem;
        EXPECT_NE(problem.find(row.problem), std::string::npos) << row.what << ": " << problem;
    }

    const std::vector<u32> floatOut = assemble(
        "Vertex", "%o", "OpDecorate %o Location 0\n%p = OpTypePointer Output %float\n%o = OpVariable %p Output");
    const std::vector<u32> intIn = assemble("Fragment", "%i",
                                            "OpDecorate %i Location 0\nOpDecorate %i Flat\n"
                                            "%p = OpTypePointer Input %int\n%i = OpVariable %p Input");
    const std::vector<u32> vec4Out = assemble(
        "Vertex", "%o", "OpDecorate %o Location 0\n%p = OpTypePointer Output %v4\n%o = OpVariable %p Output");
    const std::vector<u32> halvesIn = assemble(
        "Fragment", "%a %b",
        "OpDecorate %a Location 0\nOpDecorate %b Location 0\nOpDecorate %b Component 2\n"
        "%p = OpTypePointer Input %v2\n%a = OpVariable %p Input\n%b = OpVariable %p Input");
    struct LinkRow {
        const char* what;
        std::vector<u32> vertex;
        std::vector<u32> fragment;
        const char* problem;
    };
    const LinkRow linkRows[] = {
        {"enemy", readShader("enemyVert"), readShader("enemyFrag"), ""},
        {"water", readShader("waterVert"), readShader("waterFrag"), ""},
        {"particle into tower", readShader("particleVert"), readShader("towerFrag"), ""}, // reads fewer than written
        {"tower into particle", readShader("towerVert"), readShader("particleFrag"),
         "reads input location 3 (inOpacity), which the vertex shader does not write"},
        {"enemy into tower", readShader("enemyVert"), readShader("towerFrag"),
         "reads 3 components of input location 2 (inColor), but the vertex shader writes 2"},
        {"vec4 read as two halves", vec4Out, halvesIn, ""},
        {"float read as two halves of a vec4", floatOut, halvesIn,
         "reads 2 components of input location 0, but the vertex shader writes 1"},
        {"float into int", floatOut, intIn,
         "reads input location 0 as signed integer, but the vertex shader writes float"},
    };
    for (const LinkRow& row : linkRows) {
        std::string problem = stageLinkProblem(reflect(row.vertex, SpirvVertex), reflect(row.fragment, SpirvFragment));
        EXPECT_EQ(problem.empty(), std::string(row.problem).empty()) << row.what << ": " << problem;
        EXPECT_NE(problem.find(row.problem), std::string::npos) << row.what << ": " << problem;
    }
}

// Every check a shader file goes through before the driver sees it, on the same number
// of mutations of each module the build compiles: none may read out of bounds, hang or
// crash, whatever the words. The seeds are fixed, so every run checks the same words.
TEST(SpirvInterface, FuzzedModulesNeverCrashTheChecks)
{
    constexpr u32 MutationsPerModule = 64;
    // The game's modules, and the GPU tests' when they have been built.
    std::vector<std::filesystem::path> files;
    for (const char* folder : {"/shaders", "/testshaders"}) {
        const std::string directory = std::string(BRACKENHOLD_RUN_DIR) + folder;
        if (!std::filesystem::is_directory(directory)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(directory)) {
            if (entry.path().extension() == ".spv") files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    // Every shader source of the game has its module among them.
    size_t sources = 0;
    for (const auto& source : std::filesystem::directory_iterator(std::string(BRACKENHOLD_SOURCE_DIR) + "/shaders")) {
        const std::string extension = source.path().extension().string();
        if (extension != ".vert" && extension != ".frag") continue;
        sources++;
        const std::filesystem::path module = shaderFile(source.path().stem().string());
        EXPECT_NE(std::find(files.begin(), files.end(), module), files.end()) << source.path() << " has no module";
    }
    ASSERT_GT(sources, 0u);

    const std::vector<std::vector<LayoutBinding>> layout = parseDescriptorLayout("UBD_0+UBD_1+UBD_2+CIS_3 SBD_4");
    const VertexInputDescription vertexInput =
        describeVertexInput(vertexLayoutPosNormalColor->attributes, vertexLayoutPosNormalColor->stride, false);
    u32 mutations = 0, valid = 0, read = 0;
    for (const std::filesystem::path& file : files) {
        const std::string name = file.stem().string();
        std::vector<u32> original;
        ASSERT_EQ(readSpirvFile(file.string(), &original), SpirvProblem::None) << file;
        // Each module is read whole for the stage its name gives.
        const u32 stage = name.find("Vert") != std::string::npos ? SpirvVertex : SpirvFragment;
        ShaderInterface whole;
        EXPECT_EQ(reflectSpirv(original.data(), original.size(), stage, &whole), "") << file;
        // ... and declares only capabilities every device takes.
        EXPECT_EQ(capabilityProblem(whole, ShaderFeatures{}), "") << file;

        u32 readForItsStage = 0;
        for (u32 mutation = 0; mutation < MutationsPerModule; mutation++, mutations++) {
            SCOPED_TRACE(name + ", mutation " + std::to_string(mutation));
            std::vector<u32> key(name.begin(), name.end());
            key.push_back(mutation);
            std::seed_seq seed(key.begin(), key.end());
            std::mt19937 random(seed);
            const std::vector<u32> words = mutated(original, random);
            checkSpirv(reinterpret_cast<const u8*>(words.data()), words.size() * 4);
            const bool passes = spirvValidationProblem(words).empty();
            valid += passes;
            for (u32 model : {SpirvVertex, SpirvFragment}) {
                ShaderInterface shader;
                std::string problem = reflectSpirv(words.data(), words.size(), model, &shader);
                EXPECT_EQ(problem.find('\n'), std::string::npos);
                if (passes) {
                    // What the validator takes is read, within the reader's bounds.
                    EXPECT_EQ(problem.find("cannot be read"), std::string::npos) << problem;
                    EXPECT_EQ(problem.find("steps to read"), std::string::npos) << problem;
                }
                if (!problem.empty()) continue;
                read++;
                readForItsStage += model == stage;
                descriptorFitProblem(shader, layout);
                pushConstantFitProblem(shader, {{VK_SHADER_STAGE_ALL, 0, 64}});
                vertexInputFitProblem(shader, vertexInput.attributes);
                colorOutputFitProblem(shader, {VK_FORMAT_B8G8R8A8_SRGB, VK_FORMAT_R32_UINT}, true);
                stageLinkProblem(shader, shader);
                capabilityProblem(shader, ShaderFeatures{true, ~0u});
            }
        }
        // The mutations of each module reach the walk over its declarations.
        EXPECT_GT(readForItsStage, 0u) << name << ": no mutation was read for its stage";
    }
    std::printf("%zu modules, %u mutated modules checked: %u valid, %u entry points read\n", files.size(), mutations,
                valid, read);
    // Some mutations keep a module valid and most break it, and a good share of them are
    // still read: neither kind of module is left unchecked, nor the walks of the reader.
    EXPECT_GE(valid, mutations / 100);
    EXPECT_LE(valid, mutations / 2);
    EXPECT_GE(read, mutations / 10);
}
