#include "Engine/Helper/QuotedText.h"

#include <gtest/gtest.h>

#include <string>

// Text from a file as a message quotes it: each row the text and how it is shown, with
// at most 16 bytes written out.
TEST(QuotedText, EscapesWhatIsNotPrintableAndCutsLongText)
{
    const std::pair<std::string, std::string> cases[] = {
        {"wall.bin", "\"wall.bin\""},
        {"", "\"\""},
        // C0 controls, DEL, and what would end the quotes.
        {"a\nb\tc\rd", "\"a\\nb\\tc\\rd\""},
        {"\x1b[2J\a\b", "\"\\x1b[2J\\x07\\x08\""},
        {std::string("a\0b", 3), "\"a\\x00b\""},
        {"\x7f", "\"\\x7f\""},
        {"say \"hi\" \\o/", "\"say \\\"hi\\\" \\\\o/\""},
        // Whole UTF-8 characters pass; C1 controls (CSI), bidirectional controls and
        // line separators do not.
        {"\xC3\xA9t\xC3\xA9 \xE2\x82\xAC", "\"\xC3\xA9t\xC3\xA9 \xE2\x82\xAC\""},
        {"\xF0\x9F\x8F\xB0", "\"\xF0\x9F\x8F\xB0\""},
        {"\xC2\x9B" "2J", "\"\\u009b2J\""},
        {"a\xE2\x80\xAE" "b", "\"a\\u202eb\""},
        {"\xE2\x81\xA6\xD8\x9C", "\"\\u2066\\u061c\""},
        {"\xE2\x80\x8F\xE2\x80\x8E\xE2\x80\x8E", "\"\\u200f\\u200e...\""},
        {"\xE2\x80\xA8", "\"\\u2028\""},
        // Bytes that are not UTF-8: stray, cut short, overlong, surrogates, too large.
        {"\xFF\xC3", "\"\\xff\\xc3\""},
        {"\xE2\x82", "\"\\xe2\\x82\""},
        {"\xC0\xAF", "\"\\xc0\\xaf\""},
        {"\xED\xA0\x80", "\"\\xed\\xa0\\x80\""},
        {"\xF4\x90\x80\x80", "\"\\xf4\\x90\\x80\\x80\""},
        // Cut between whole characters and escapes, at 16 bytes written out.
        {"abcdefghijklmnopq", "\"abcdefghijklmnop...\""},
        {"abcdefghijklmno\xE2\x82\xAC", "\"abcdefghijklmno...\""},
        {"abcdefghijklmn\x1b", "\"abcdefghijklmn...\""},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(quotedText(text, 16), shown);
    }
    EXPECT_EQ(escapedText("a\"\n", 16), "a\\\"\\n");
    // A whole message keeps its own quoting, and nothing else of what it echoes.
    EXPECT_EQ(messageText("read \"a\\b\x1b\xC2\x9B\"", 40), "read \"a\\b\\x1b\\u009b\"");
    // Ten megabytes of escapes: the line stays short.
    EXPECT_LE(quotedText(std::string(10'000'000, '\x07')).size(), QuotedTextBytes + 8);
}
