#include "Engine/Helper/QuotedText.h"

#include <gtest/gtest.h>

#include <string>

// Text from a file as a message quotes it: each row the text and how it is shown, in at
// most 20 bytes written out, its quotes and "..." counted.
TEST(QuotedText, EscapesWhatIsNotPrintableAndCutsLongText)
{
    constexpr size_t Bound = 20;
    const std::pair<std::string, std::string> cases[] = {
        {"wall.bin", "\"wall.bin\""},
        {"", "\"\""},
        // C0 controls, DEL, and what would end the quotes.
        {"a\nb\tc\rd", "\"a\\nb\\tc\\rd\""},
        {"\x1b[2J\a\b", "\"\\x1b[2J\\x07\\x08\""},
        {std::string("a\0b", 3), "\"a\\x00b\""},
        {"\x7f", "\"\\x7f\""},
        {"say \"hi\" \\o/", "\"say \\\"hi\\\" \\\\o/\""},
        // Whole UTF-8 characters pass; C1 controls (CSI), format characters (bidirectional
        // controls, zero-width spaces and joiners, the soft hyphen, the byte order mark,
        // tags) and line separators do not.
        {"\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xC2\xAE", "\"\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xC2\xAE\""},
        {"\xF0\x9F\x8F\xB0", "\"\xF0\x9F\x8F\xB0\""},
        {"\xC2\x9B" "2J", "\"\\u009b2J\""},
        {"a\xE2\x80\xAE" "b", "\"a\\u202eb\""},
        {"\xE2\x81\xA6\xD8\x9C", "\"\\u2066\\u061c\""},
        {"\xE2\x80\x8F\xE2\x80\x8E\xE2\x80\x8E\xE2\x80\x8E", "\"\\u200f\\u200e...\""},
        {"\xE2\x80\xA8", "\"\\u2028\""},
        {"a\xC2\xAD" "b\xE2\x80\x8B", "\"a\\u00adb\\u200b\""},
        {"\xE2\x80\x8D\xE2\x81\xA0\xEF\xBB\xBF", "\"\\u200d\\u2060\\ufeff\""},
        {"\xD8\x80\xF3\xA0\x81\x81", "\"\\u0600\\U000e0041\""},
        // Bytes that are not UTF-8: stray, cut short, overlong in two, three and four
        // bytes, surrogates, too large.
        {"\xFF\xC3", "\"\\xff\\xc3\""},
        {"\xE2\x82", "\"\\xe2\\x82\""},
        {"\xC0\xAF", "\"\\xc0\\xaf\""},
        {"\xE0\x80\xAF", "\"\\xe0\\x80\\xaf\""},
        {"\xF0\x80\x80\xAF", "\"\\xf0\\x80\\x80\\xaf\""},
        {"\xED\xA0\x80", "\"\\xed\\xa0\\x80\""},
        {"\xF4\x90\x80\x80", "\"\\xf4\\x90\\x80\\x80\""},
        // Cut between whole characters and escapes.
        {"abcdefghijklmnopqr", "\"abcdefghijklmnopqr\""},
        {"abcdefghijklmnopqrs", "\"abcdefghijklmno...\""},
        {"abcdefghijkl\xE2\x82\xAC\xE2\x82\xAC" "x", "\"abcdefghijkl\xE2\x82\xAC...\""},
        {"abcdefghijk\x1b\x1b", "\"abcdefghijk\\x1b...\""},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(quotedText(text, Bound), shown);
        EXPECT_LE(shown.size(), Bound);
    }
    EXPECT_EQ(escapedText("a\"\n", 16), "a\\\"\\n");
    EXPECT_EQ(escapedText("abcdefg", 6), "abc...");
    // A whole message keeps its own quoting, and nothing else of what it echoes.
    EXPECT_EQ(messageText("read \"a\\b\x1b\xC2\x9B\"", 40), "read \"a\\b\\x1b\\u009b\"");
    EXPECT_EQ(messageText("read \"abcdef\"", 10), "read \"a...");
    // Ten megabytes of escapes: the line stays short.
    const size_t shown = quotedText(std::string(10'000'000, '\x07')).size();
    EXPECT_LE(shown, QuotedTextBytes);
    EXPECT_GT(shown, QuotedTextBytes - 8) << "as many whole escapes as fit";
}
