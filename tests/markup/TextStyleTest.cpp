// The hexadecimal readings of markup arguments, the default style, and what every code and
// closing code does to the style stack and the line spacing.
#include "markup/MarkupContent.h"
#include "markup/TextStyle.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(TextStyleTest, HexValueAndHexToColorRef)
{
    struct Case {
        const char *text;
        std::uint32_t value;
        std::uint32_t color;
    } cases[] = {
        {"1A", 26, 0x001A0000},
        {"1a", 26, 0x001A0000},
        {"12-4", 18, 0x00120000},
        {"12x4", ((1 * 16 + 2) * 16 + 33) * 16 + 4, 0x00141400},   // x is a letter: it counts 33
        {"", 0, 0},
        {nullptr, 0, 0},
        {"ff", 255, 0x00FF0000},
        {"FF", 255, 0x00FF0000},
        {"g", 16, 0x00100000},
        {"zz", 35 * 16 + 35, 0x00530200},
        {"0000ff", 0xFF, 0x00FF0000},
        {"ff0000", 0xFF0000, 0x000000FF},
        {"00ff00", 0xFF00, 0x0000FF00},
        {"123456", 0x123456, 0x00563412},
        {"9123456", 0x9123456, 0x00563412},     // bits above six digits are dropped
        {"ffffffff", 0xFFFFFFFF, 0x00FFFFFF},
        {"100000001", 1, 0x00010000},            // wraps at 32 bits
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(null)");
        EXPECT_EQ(HexValue(c.text), c.value);
        EXPECT_EQ(HexToColorRef(c.text), c.color);
    }
}

TEST(TextStyleTest, DefaultStyleIsTahoma12WithoutColoursUnderlineOrLink)
{
    const TextStyle style;
    EXPECT_STREQ(style.lf.lfFaceName, "Tahoma");
    EXPECT_EQ(style.lf.lfHeight, -12);
    EXPECT_EQ(style.lf.lfWeight, 400);
    EXPECT_EQ(style.lf.lfUnderline, 0);
    EXPECT_FALSE(style.bHasTextColor);
    EXPECT_FALSE(style.bHasBackColor);
    EXPECT_FALSE(style.bLineUnderline);
    EXPECT_EQ(style.nLink, 0u);

    // On a given font: its face and height are replaced, the rest kept.
    FontDescription base;
    std::memset(&base, 0, sizeof(base));
    std::strcpy(base.lfFaceName, "MS Shell Dlg");
    base.lfHeight = -11;
    base.lfWeight = 400;
    base.lfCharSet = 134;
    const TextStyle onBase(base);
    EXPECT_STREQ(onBase.lf.lfFaceName, "Tahoma");
    EXPECT_EQ(onBase.lf.lfHeight, -12);
    EXPECT_EQ(onBase.lf.lfCharSet, 134);
}

// Applies the codes of the markup to one default style.
struct Applied {
    TextStyle style;
    size_t depth;
    int spacing;
};

Applied ApplyAll(const char *markup)
{
    MarkupContent content;
    content.m_strMarkup = markup;
    content.ParseMarkup();
    content.m_styles.push_back(TextStyle());
    for (const auto &run : content.m_runs)
        content.ApplyCode(*run);
    return Applied{content.m_styles.back(), content.m_styles.size(), content.m_nLineSpacing};
}

TEST(TextStyleTest, CodesAndClosingCodes)
{
    struct Case {
        const char *markup;
        bool (*check)(const Applied &);
    } cases[] = {
        {"|c0000ff", [](const Applied &a) { return a.style.bHasTextColor && a.style.crText == 0x00FF0000; }},
        {"|c0000ff|~c", [](const Applied &a) { return !a.style.bHasTextColor; }},
        {"|kff0000", [](const Applied &a) { return a.style.bHasBackColor && a.style.crBack == 0x000000FF; }},
        {"|kff0000|~k", [](const Applied &a) { return !a.style.bHasBackColor; }},
        {"|b", [](const Applied &a) { return a.style.lf.lfWeight == 700; }},
        {"|b|~b", [](const Applied &a) { return a.style.lf.lfWeight == 400; }},
        {"|U", [](const Applied &a) { return a.style.lf.lfUnderline == 1 && !a.style.bLineUnderline; }},
        {"|u", [](const Applied &a) { return a.style.lf.lfUnderline == 0 && a.style.bLineUnderline; }},
        {"|U|u|~U", [](const Applied &a) { return a.style.lf.lfUnderline == 0 && !a.style.bLineUnderline; }},
        {"|U|u|~u", [](const Applied &a) { return a.style.lf.lfUnderline == 0 && !a.style.bLineUnderline; }},
        {"|s10", [](const Applied &a) { return a.style.lf.lfHeight == -16; }},
        {"|s0c", [](const Applied &a) { return a.style.lf.lfHeight == -12; }},
        {"|s10|s20|~s", [](const Applied &a) { return a.style.lf.lfHeight == -12; }},   // default, not previous
        {"|h01", [](const Applied &a) { return a.style.nLink == 1; }},
        {"|h02", [](const Applied &a) { return a.style.nLink == 2; }},
        {"|h01|~h", [](const Applied &a) { return a.style.nLink == 0; }},
        {"|l05", [](const Applied &a) { return a.spacing == 5 && a.depth == 1; }},
        {"|l05|~l", [](const Applied &a) { return a.spacing == 0; }},
        {"|+|b", [](const Applied &a) { return a.depth == 2 && a.style.lf.lfWeight == 700; }},
        {"|+|b|-", [](const Applied &a) { return a.depth == 1 && a.style.lf.lfWeight == 400; }},
        {"|b|+|-|-|-", [](const Applied &a) { return a.depth == 1 && a.style.lf.lfWeight == 700; }},
        {"|~x|q|~", [](const Applied &a) {
             const TextStyle d;
             return a.depth == 1 && a.spacing == 0 && std::memcmp(&a.style.lf, &d.lf, sizeof(d.lf)) == 0 &&
                    !a.style.bHasTextColor && !a.style.bHasBackColor && !a.style.bLineUnderline && a.style.nLink == 0;
         }},
    };
    for (const Case &c : cases)
        EXPECT_TRUE(c.check(ApplyAll(c.markup))) << c.markup;

    // Without a style on the stack codes do nothing (and do not crash).
    MarkupContent content;
    content.m_strMarkup = "|b|+|-|l05";
    content.ParseMarkup();
    for (const auto &run : content.m_runs)
        content.ApplyCode(*run);
    EXPECT_TRUE(content.m_styles.empty());
    EXPECT_EQ(content.m_nLineSpacing, 0);
}

} // namespace
