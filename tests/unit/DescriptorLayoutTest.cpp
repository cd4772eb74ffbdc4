#include "unit/DescriptorLayoutTable.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

std::string describe(const std::vector<std::vector<LayoutBinding>>& sets)
{
    std::string text;
    for (size_t s = 0; s < sets.size(); s++) {
        text += s ? " | " : "";
        for (const LayoutBinding& binding : sets[s]) {
            text += "(" + std::to_string(binding.binding) + ":" + std::to_string(binding.type) + ")";
        }
    }
    return text;
}

template <typename Exception> std::string messageOf(const std::string& layout)
{
    try {
        parseDescriptorLayout(layout);
    } catch (const Exception& error) {
        return error.what();
    }
    return "(no exception)";
}

} // namespace

TEST(DescriptorLayout, EveryGameLayoutStringParsesToItsSets)
{
    for (const LayoutCase& layoutCase : gameLayoutStrings()) {
        EXPECT_EQ(describe(parseDescriptorLayout(layoutCase.layout)), describe(layoutCase.sets)) << layoutCase.layout;
    }
}

TEST(DescriptorLayout, PrefixesGiveTheirTypes)
{
    EXPECT_EQ(descriptorTypeOfPrefix("UBD"), VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC);
    EXPECT_EQ(descriptorTypeOfPrefix("SBD"), VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC);
    EXPECT_EQ(descriptorTypeOfPrefix("CIS"), VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER);
    EXPECT_EQ(descriptorTypeOfPrefix("IA"), VK_DESCRIPTOR_TYPE_INPUT_ATTACHMENT);
    // Exact and case-sensitive: anything else is a plain sampler.
    EXPECT_EQ(descriptorTypeOfPrefix("ubd"), VK_DESCRIPTOR_TYPE_SAMPLER);
    EXPECT_EQ(descriptorTypeOfPrefix("UBDX"), VK_DESCRIPTOR_TYPE_SAMPLER);
    EXPECT_EQ(descriptorTypeOfPrefix(""), VK_DESCRIPTOR_TYPE_SAMPLER);
}

TEST(DescriptorLayout, EdgeCases)
{
    EXPECT_TRUE(parseDescriptorLayout("").empty());
    EXPECT_EQ(describe(parseDescriptorLayout("XYZ_2")), describe({{{2, VK_DESCRIPTOR_TYPE_SAMPLER}}}));
    EXPECT_EQ(describe(parseDescriptorLayout("IA_1")), describe({{{1, VK_DESCRIPTOR_TYPE_INPUT_ATTACHMENT}}}));
    // std::stoi reading: text after the digits is ignored ('+' and ' ' split earlier).
    EXPECT_EQ(describe(parseDescriptorLayout("UBD_07x")), describe({{ubd(7)}}));
    EXPECT_EQ(describe(parseDescriptorLayout("UBD_-0")), describe({{ubd(0)}}));
    EXPECT_EQ(describe(parseDescriptorLayout("UBD_3_extra")), describe({{ubd(3)}}));
    // Two blanks make an empty set between them.
    EXPECT_EQ(describe(parseDescriptorLayout("UBD_0  SBD_4")), describe({{ubd(0)}, {}, {sbd(4)}}));
}

TEST(DescriptorLayout, UnreadableNumbersThrow)
{
    EXPECT_THROW(parseDescriptorLayout("UBD_x"), std::invalid_argument);
    EXPECT_EQ(messageOf<std::invalid_argument>("UBD_x"), "invalid stoi argument");
    EXPECT_THROW(parseDescriptorLayout("UBD_99999999999"), std::out_of_range);
    EXPECT_EQ(messageOf<std::out_of_range>("UBD_99999999999"), "stoi argument out of range");
    // The number is read before the prefix: an unknown prefix with a bad number throws.
    EXPECT_THROW(parseDescriptorLayout("XYZ_q"), std::invalid_argument);
    // A token without '_' has no number.
    EXPECT_THROW(parseDescriptorLayout("UBD"), std::invalid_argument);
    EXPECT_THROW(parseDescriptorLayout("UBD_0++UBD_1"), std::invalid_argument);
}

TEST(DescriptorLayout, PoolStrings)
{
    std::vector<VkDescriptorPoolSize> sizes = parsePoolSizes("UBD_100+SBD_100");
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[0].type, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC);
    EXPECT_EQ(sizes[0].descriptorCount, 100u);
    EXPECT_EQ(sizes[1].type, VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC);
    EXPECT_EQ(sizes[1].descriptorCount, 100u);

    // No split at blanks; IA and unknown prefixes add nothing; repeats are not merged.
    sizes = parsePoolSizes("IA_1+XYZ_3+UBD_2+UBD_5+CIS_7");
    ASSERT_EQ(sizes.size(), 3u);
    EXPECT_EQ(sizes[0].descriptorCount, 2u);
    EXPECT_EQ(sizes[1].descriptorCount, 5u);
    EXPECT_EQ(sizes[2].type, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER);
    EXPECT_EQ(sizes[2].descriptorCount, 7u);
    EXPECT_TRUE(parsePoolSizes("").empty());
    EXPECT_THROW(parsePoolSizes("UBD_x"), std::invalid_argument);
    EXPECT_THROW(parsePoolSizes("IA_99999999999"), std::out_of_range);
}
