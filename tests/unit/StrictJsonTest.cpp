#include "Engine/Helper/StrictJson.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>

namespace {

// Two different 16-byte names of printable ASCII that the standard library's string
// hash (64-bit MurmurHash2 with a fixed seed) takes to one value: the second block of
// the second name is chosen to cancel the difference the first blocks made.
std::pair<std::string, std::string> hashCollision()
{
    constexpr uint64_t Mul = (uint64_t{0xc6a4a793} << 32) + 0x5bd1e995;
    uint64_t inverse = Mul;
    for (int i = 0; i < 6; i++) inverse *= 2 - Mul * inverse;
    const auto shiftMix = [](uint64_t v) { return v ^ (v >> 47); };
    const auto block = [&](uint64_t k) { return shiftMix(k * Mul) * Mul; };
    const auto unblock = [&](uint64_t d) { return shiftMix(d * inverse) * inverse; };
    const auto text = [](uint64_t k) { return std::string(reinterpret_cast<const char*>(&k), 8); };
    const auto printable = [](uint64_t k) {
        for (int i = 0; i < 8; i++) {
            const uint8_t c = static_cast<uint8_t>(k >> (8 * i));
            if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') return false;
        }
        return true;
    };
    std::mt19937_64 random(7);
    const auto word = [&random] {
        uint64_t k = 0;
        for (int i = 0; i < 8; i++) k |= uint64_t{0x41 + random() % 26} << (8 * i);
        return k;
    };
    const uint64_t start = 0xc70f6907 ^ (16 * Mul);
    while (true) {
        const uint64_t a1 = word(), a2 = word(), b1 = word();
        const uint64_t ha = (start ^ block(a1)) * Mul, hb = (start ^ block(b1)) * Mul;
        const uint64_t b2 = unblock(ha ^ hb ^ block(a2));
        if (a1 != b1 && printable(b2)) return {text(a1) + text(a2), text(b1) + text(b2)};
    }
}

} // namespace

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
    // Names told apart by their bytes, not by a hash of them.
    const auto collision = hashCollision();
    ASSERT_EQ(std::hash<std::string>{}(collision.first), std::hash<std::string>{}(collision.second));
    struct Case {
        std::string text;
        const char* kept;    // the kept document's JSON, or null
        std::string refused; // the start of the problem (when nothing is kept)
    };
    const std::string longString = "{\"y\": \"" + std::string(10000, 'x') + "\xFF\"}";
    const Case cases[] = {
        {R"({"a": [{"b": 1, "x": 2}, {"x": 3}], "c": {"d": [1]}, "y": [1, 2], "m": {"z": [1]}})",
         R"({"a":[{"b":1},{}],"c":{"d":[1]},"m":true})", ""},
        {"  {\"y\": [1]}\n\t ", "{}", ""},
        {R"([{"a": 1}])", "[]", ""},
        // Members written twice, kept or dropped, at any depth.
        {R"({"a": 1, "a": 2})", nullptr, "names the member \"a\" twice"},
        {R"({"y": {"k": 1, "k": 2}})", nullptr, "names the member \"k\" twice in y"},
        {R"({"a": [{"b": 1}, {"b": 1, "b": 2}]})", nullptr, "names the member \"b\" twice in a[1]"},
        {"{\"\\n\": 1, \"\\n\": 2}", nullptr, "names the member \"\\n\" twice"},
        {"{\"" + collision.first + "\": 1, \"" + collision.second + "\": 2}", "{}", ""},
        {"{\"" + collision.first + "\": 1, \"" + collision.second + "\": 2, \"" + collision.first + "\": 3}", nullptr,
         "names the member \"" + collision.first + "\" twice"},
        // Nesting, members of one object and values kept.
        {R"({"y": [[[1]]]})", "{}", ""},
        {R"({"y": [[[[1]]]]})", nullptr, "is nested more than 4 deep in y[0][0]"},
        {R"({"y": {"1": 1, "2": 2, "3": 3, "4": 4, "5": 5}})", nullptr, "has an object of more than 4 members in y"},
        {R"({"c": [1, 2, 3, 4, 5, 6, 7, 8, 9, 10]})", nullptr, "has more than 10 values in the members that are read"},
        {R"({"y": [1, 2, 3, 4, 5, 6, 7, 8, 9, 10]})", "{}", ""},
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
