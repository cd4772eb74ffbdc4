#include "Engine/Helper/StrictJson.h"

#include <gtest/gtest.h>

#include <string>

// What is kept of a document, and what refuses it: each row a text, and either what is
// kept of it or the start of why it is refused.
TEST(StrictJson, KeepsWhatIsAskedForAndRefusesWhatIsNotStrictJson)
{
    StrictJson::Rules rules;
    rules.kept = {"a/[]/b", "c"};
    rules.marked = {"m"};
    rules.maxNesting = 4;
    rules.maxObjectMembers = 4;
    rules.maxKeptValues = 10;
    struct Case {
        std::string text;
        const char* kept;    // the kept document's JSON, or null
        const char* refused; // the start of the problem, or null
    };
    const std::string longString = "{\"y\": \"" + std::string(10000, 'x') + "\xFF\"}";
    const Case cases[] = {
        {R"({"a": [{"b": 1, "x": 2}, {"x": 3}], "c": {"d": [1]}, "y": [1, 2], "m": {"z": [1]}})",
         R"({"a":[{"b":1},{}],"c":{"d":[1]},"m":true})", nullptr},
        {"  {\"y\": [1]}\n\t ", "{}", nullptr},
        {R"([{"a": 1}])", "[]", nullptr},
        // Members written twice, kept or dropped, at any depth.
        {R"({"a": 1, "a": 2})", nullptr, "names the member \"a\" twice"},
        {R"({"y": {"k": 1, "k": 2}})", nullptr, "names the member \"k\" twice in y"},
        {R"({"a": [{"b": 1}, {"b": 1, "b": 2}]})", nullptr, "names the member \"b\" twice in a[1]"},
        {"{\"\\n\": 1, \"\\n\": 2}", nullptr, "names the member \"?\" twice"},
        // Nesting, members of one object and values kept.
        {R"({"y": [[[1]]]})", "{}", nullptr},
        {R"({"y": [[[[1]]]]})", nullptr, "is nested more than 4 deep in y[0][0]"},
        {R"({"y": {"1": 1, "2": 2, "3": 3, "4": 4, "5": 5}})", nullptr, "has an object of more than 4 members in y"},
        {R"({"c": [1, 2, 3, 4, 5, 6, 7, 8, 9, 10]})", nullptr, "has more than 10 values in the members that are read"},
        {R"({"y": [1, 2, 3, 4, 5, 6, 7, 8, 9, 10]})", "{}", nullptr},
        // Text that is not strict JSON.
        {"\xEF\xBB\xBF{}", nullptr, "starts with a byte order mark"},
        {std::string("{\0\"\0}\0", 6), nullptr, "is not valid at byte 1: syntax error"},
        {R"({"y": NaN})", nullptr, "is not valid at byte 6: syntax error while parsing value - invalid literal"},
        {R"({"y": 1} x)", nullptr, "is not valid at byte 9: syntax error while parsing value - invalid literal"},
        {"{\"y\": \"\xFF\"}", nullptr, "is not valid at byte 7: syntax error while parsing value - invalid string: "
                                       "ill-formed UTF-8 byte"},
        {R"({"y": 1e999})", nullptr, "is not valid at byte 10: number overflow parsing '1e999'"},
        {R"({"y": [1, 2)", nullptr, "is not valid at byte 11: syntax error while parsing array - unexpected end"},
        {"", nullptr, "is not valid at byte 0: syntax error"},
        {longString, nullptr, "is not valid at byte"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text.substr(0, 80));
        const StrictJson::Document document = StrictJson::parse(test.text, rules);
        if (test.kept != nullptr) {
            EXPECT_EQ(document.problem, "");
            EXPECT_EQ(document.value.dump(), test.kept);
        } else {
            EXPECT_TRUE(document.problem.starts_with(test.refused)) << "\n" << document.problem;
            EXPECT_TRUE(document.value.is_null());
            EXPECT_LT(document.problem.size(), 240u) << "the problem is one short line";
            EXPECT_EQ(document.problem.find('\n'), std::string::npos);
        }
    }
}

TEST(StrictJson, PrintableTextIsOneShortLineOfWholeCharacters)
{
    const std::pair<std::string, std::string> cases[] = {
        {"wall.bin", "\"wall.bin\""},
        {"a\nb\tc", "\"a?b?c\""},
        {"\xC3\xA9t\xC3\xA9", "\"\xC3\xA9t\xC3\xA9\""},
        {"\xFF\xC3", "\"??\""},
        {"abcdefghij", "\"abcdefgh...\""},
        {"abcd\xE2\x82\xAC\xE2\x82\xAC", "\"abcd\xE2\x82\xAC\xE2\x82\xAC\""},
        {"abcdef\xE2\x82\xAC" "x", "\"abcdef\xE2\x82\xAC...\""},
    };
    for (const auto& [text, printed] : cases) EXPECT_EQ(StrictJson::printable(text, 8), printed);
    EXPECT_EQ(StrictJson::printable("a\"b", 6, false), "a\"b");
}
