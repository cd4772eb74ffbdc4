#include "Engine/Helper/Fatal.h"
#include "Engine/Helper/Helper.h"

#include <gtest/gtest.h>

TEST(Split, BehavesLikeGetline)
{
    EXPECT_TRUE(split("", '+').empty());
    EXPECT_EQ(split("UBD_0+SBD_4", '+'), (std::vector<std::string>{"UBD_0", "SBD_4"}));
    EXPECT_EQ(split("a++b", '+'), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(split("+a", '+'), (std::vector<std::string>{"", "a"}));
    EXPECT_EQ(split("a+", '+'), (std::vector<std::string>{"a"}));
    EXPECT_EQ(split("+", '+'), (std::vector<std::string>{""}));
}

TEST(FatalError, LineFormat)
{
    EXPECT_EQ(fatalErrorLine("Failed to enumerate Physical Devices", "GraphicsDevice", 12),
              "ERROR: Failed to enumerate Physical Devices (in GraphicsDevice at line #12)");
}
