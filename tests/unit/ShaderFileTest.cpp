#include "Engine/Pipeline/ShaderFile.h"
#include "PrintableLine.h"
#include "ScratchFiles.h"

#include <gtest/gtest.h>
#include <spirv-tools/libspirv.hpp>

#include <filesystem>
#include <fstream>

namespace {

std::string writeFile(const std::filesystem::path& path, const std::vector<u8>& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

const std::vector<u8> minimalHeader = {0x03, 0x02, 0x23, 0x07, 0x00, 0x00, 0x01, 0x00};

} // namespace

TEST(ShaderFile, RecognisesWhatIsNotSpirv)
{
    EXPECT_EQ(checkSpirv(nullptr, 0), SpirvProblem::Empty);
    u8 three[3] = {0x03, 0x02, 0x23};
    EXPECT_EQ(checkSpirv(three, 3), SpirvProblem::PartialWord);
    u8 nine[9] = {0x03, 0x02, 0x23, 0x07, 0, 0, 1, 0, 0};
    EXPECT_EQ(checkSpirv(nine, 9), SpirvProblem::PartialWord);
    // GLSL text, and the magic number in the wrong byte order.
    const char* text = "#version 450\nvoid main(){}";
    EXPECT_EQ(checkSpirv(reinterpret_cast<const u8*>(text), 24), SpirvProblem::BadMagic);
    u8 swapped[4] = {0x07, 0x23, 0x02, 0x03};
    EXPECT_EQ(checkSpirv(swapped, 4), SpirvProblem::BadMagic);
    EXPECT_EQ(checkSpirv(minimalHeader.data(), minimalHeader.size()), SpirvProblem::None);
}

TEST(ShaderFile, ProblemTextsSayWhatIsWrong)
{
    EXPECT_STREQ(spirvProblemText(SpirvProblem::None), "");
    EXPECT_NE(std::string(spirvProblemText(SpirvProblem::Empty)).find("empty"), std::string::npos);
    EXPECT_NE(std::string(spirvProblemText(SpirvProblem::BadMagic)).find("SPIR-V"), std::string::npos);
    EXPECT_NE(std::string(spirvProblemText(SpirvProblem::PartialWord)).find("multiple of 4"), std::string::npos);
}

TEST(ShaderFile, ReadsFilesIntoWords)
{
    std::vector<u32> words;
    std::string unreadable;
    EXPECT_EQ(readSpirvFile("/nonexistent/shaders/missingVert.spv", &words, &unreadable), SpirvProblem::Missing);
    EXPECT_EQ(unreadable, "cannot be opened (No such file or directory)");
    const ScratchFolder folder("shader-files");
    EXPECT_EQ(readSpirvFile(folder.path().string(), &words, &unreadable), SpirvProblem::Missing);
    EXPECT_EQ(unreadable, "is a directory, not a regular file");

    std::string empty = writeFile(folder / "empty.spv", {});
    EXPECT_EQ(readSpirvFile(empty, &words), SpirvProblem::Empty);
    std::string odd = writeFile(folder / "odd.spv", {0x03, 0x02, 0x23, 0x07, 0x01});
    EXPECT_EQ(readSpirvFile(odd, &words), SpirvProblem::PartialWord);
    EXPECT_TRUE(words.empty()) << "nothing is handed out for a bad file";

    std::string good = writeFile(folder / "good.spv", minimalHeader);
    ASSERT_EQ(readSpirvFile(good, &words), SpirvProblem::None);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0], SpirvMagic);
    EXPECT_EQ(words[1], 0x00010000u);
}

namespace {

// The smallest fragment shader Vulkan accepts, assembled by the SPIR-V tools.
std::vector<u32> assembledFragmentShader()
{
    const char* text = R"(
               OpCapability Shader
               OpMemoryModel Logical GLSL450
               OpEntryPoint Fragment %main "main"
               OpExecutionMode %main OriginUpperLeft
       %void = OpTypeVoid
   %function = OpTypeFunction %void
       %main = OpFunction %void None %function
      %entry = OpLabel
               OpReturn
               OpFunctionEnd
)";
    spvtools::SpirvTools tools(SPV_ENV_VULKAN_1_3);
    std::vector<u32> words;
    EXPECT_TRUE(tools.Assemble(text, &words));
    return words;
}

} // namespace

TEST(ShaderFile, ValidatorRefusesGarbageBehindAValidHeader)
{
    const std::vector<u32> shader = assembledFragmentShader();
    ASSERT_GT(shader.size(), 5u);
    EXPECT_EQ(spirvValidationProblem(shader), "");

    // The five header words of a real module, then words that mean nothing.
    std::vector<u32> garbage(shader.begin(), shader.begin() + 5);
    u32 state = 12345;
    for (int i = 0; i < 4096; i++) {
        state = state * 1664525u + 1013904223u;
        garbage.push_back(state);
    }
    const std::string problem = spirvValidationProblem(garbage);
    EXPECT_NE(problem, "");
    EXPECT_EQ(problem.find('\n'), std::string::npos) << "one line: " << problem;

    // A module cut short, and a header alone.
    EXPECT_NE(spirvValidationProblem(std::vector<u32>(shader.begin(), shader.end() - 2)), "");
    EXPECT_NE(spirvValidationProblem(std::vector<u32>(shader.begin(), shader.begin() + 5)), "");
}

// The validator's message may quote the module's own strings (an instruction it shows)
// and names made from them: they reach the message escaped and cut short.
TEST(ShaderFile, AValidatorMessageShowsTheModulesTextEscaped)
{
    const std::string hostile = "\x1b[2J\xe2\x80\xae\xc2\x9b" + std::string(2000, 'n');
    struct Case {
        const char* what;
        std::string instruction; // placed before the types, where it is out of place or names nothing
        const char* expected;
    };
    const Case cases[] = {
        {"a string in an instruction shown", "OpExtension \"" + hostile + "\"",
         "Extension is in an invalid layout section   OpExtension \"\\x1b[2J\\u202e\\u009bnnn"},
        {"a long name of an id never defined", "OpName %gone \"" + hostile + "\"", "have not been defined"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const std::string text = "OpCapability Shader\nOpMemoryModel Logical GLSL450\n"
                                 "OpEntryPoint Fragment %main \"main\"\nOpExecutionMode %main OriginUpperLeft\n" +
                                 test.instruction +
                                 "\n%void = OpTypeVoid\n%function = OpTypeFunction %void\n"
                                 "%main = OpFunction %void None %function\n%entry = OpLabel\nOpReturn\nOpFunctionEnd\n";
        spvtools::SpirvTools tools(SPV_ENV_VULKAN_1_3);
        std::vector<u32> words;
        ASSERT_TRUE(tools.Assemble(text, &words));
        const std::string problem = spirvValidationProblem(words);
        EXPECT_NE(problem.find(test.expected), std::string::npos) << problem;
        EXPECT_EQ(linePrintableProblem(problem), "");
        EXPECT_LT(problem.size(), 1024u);
        EXPECT_NE(problem.find("... (word "), std::string::npos) << "where it is, after the message cut short";
    }
}
