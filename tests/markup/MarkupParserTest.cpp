// Markup into runs: text, codes with their exact argument bytes, literal bars, empty runs,
// and what is dropped at the end of the text.
#include "markup/MarkupContent.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// "T:text" for a text run, "C:letter:argument" for a code run.
std::vector<std::string> Runs(const MarkupContent &content)
{
    std::vector<std::string> out;
    for (const auto &run : content.m_runs) {
        if (run->bIsCode)
            out.push_back(std::string("C:") + run->chCode + ":" + static_cast<const char *>(run->strArg));
        else
            out.push_back("T:" + std::string(run->strText, run->strText.GetLength()));
    }
    return out;
}

MarkupContent Parsed(const std::string &markup)
{
    MarkupContent content;
    content.m_strMarkup = CString(markup.data(), static_cast<int>(markup.size()));
    content.ParseMarkup();
    return content;
}

TEST(MarkupParserTest, EdgeCases)
{
    struct Case {
        std::string markup;
        std::vector<std::string> runs;
        std::string plain;
    } cases[] = {
        {"", {}, ""},
        {"abc", {"T:abc"}, "abc"},
        {"a||b", {"T:a", "T:|", "T:b"}, "a|b"},
        {"x|$y", {"T:x", "T:", "T:y"}, "xy"},
        {"abc|", {"T:abc"}, "abc"},                        // a bar as the last byte
        {"abc|h0", {"T:abc"}, "abc"},                      // argument one byte short
        {"abc|c12345", {"T:abc"}, "abc"},
        {"ab|~", {"T:ab"}, "ab"},                          // bar and tilde at the very end
        {"|c12|456", {"C:c:12|456"}, ""},                  // argument bytes may be bars
        {"|c12|456x", {"C:c:12|456", "T:x"}, "x"},
        {"|zabc", {"C:z:", "T:abc"}, "abc"},               // unknown letter: width 0
        {"|~x", {"C:~:x"}, ""},
        {"|h01|l05|s10|k00ff00|b|U|u|+|-", {"C:h:01", "C:l:05", "C:s:10", "C:k:00ff00", "C:b:", "C:U:", "C:u:", "C:+:", "C:-:"}, ""},
        // A bar before a double-byte character: the lead byte is a letter of width 0.
        {"|\xD6\xD0x", {std::string("C:\xD6:"), "T:\xD0x"}, "\xD0x"},
        {"a|\xFE", {"T:a", std::string("C:\xFE:")}, "a"},
        {"||||", {"T:|", "T:|"}, "||"},
        {"|||", {"T:|"}, "|"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.markup);
        const MarkupContent content = Parsed(c.markup);
        EXPECT_EQ(Runs(content), c.runs);
        EXPECT_EQ(std::string(content.m_strPlain, content.m_strPlain.GetLength()), c.plain);
    }
}

TEST(MarkupParserTest, ForumSentenceGivesItsNineRuns)
{
    // The sentence in GBK, as the tool holds it.
    const std::string before = "\xC8\xE7\xB9\xFB\xC4\xFA\xB5\xC4Halvex\xC8\xD4\xCE\xDE\xB7\xA8\xD5\xFD\xB3\xA3\xCA\xB9\xD3\xC3\xA3\xAC\xC7\xEB\xB5\xBD";
    const std::string link = "\xB5\xE3\xD5\xE2\xC0\xEF";                                             // 点这里
    const std::string after = "\xB5\xBD\xC2\xDB\xCC\xB3\xB2\xE9\xBF\xB4\xB0\xEF\xD6\xFA\xBA\xCD\xB7\xB4\xC0\xA1\xA1\xA3";
    const MarkupContent content =
        Parsed(before + "|h01|c0000ff|U" + link + "|~U|~c|~h" + after);
    EXPECT_EQ(Runs(content), (std::vector<std::string>{"T:" + before, "C:h:01", "C:c:0000ff", "C:U:", "T:" + link,
                                                         "C:~:U", "C:~:c", "C:~:h", "T:" + after}));
    EXPECT_EQ(std::string(content.m_strPlain), before + link + after);
}

TEST(MarkupParserTest, ParsingAgainReplacesTheRunsAndResetEmptiesEverything)
{
    MarkupContent content = Parsed("a|bc");
    content.m_strMarkup = "x";
    content.ParseMarkup();
    EXPECT_EQ(Runs(content), (std::vector<std::string>{"T:x"}));

    content.m_styles.push_back(TextStyle());
    content.m_nLineSpacing = 5;
    content.ResetContent();
    EXPECT_TRUE(content.m_runs.empty());
    EXPECT_TRUE(content.m_styles.empty());
    EXPECT_TRUE(content.m_strMarkup.IsEmpty());
    EXPECT_TRUE(content.m_strPlain.IsEmpty());
    EXPECT_EQ(content.m_nLineSpacing, 0);
}

} // namespace
