// The line breaker against a fake measurer (characters 10 pixels wide, lines as tall as the
// font): breaking per character, shared lines, double-byte characters, line feeds, spacing,
// the underline pixel, bottom alignment, labels narrower than a character, link hit-tests,
// and a cost that grows with the text, not with its square.
#include "markup/GbkCharStepper.h"
#include "markup/MarkupContent.h"
#include "tests/markup/FakeMeasurer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

// "text@left,top,right,bottom" for every placed piece, runs in order.
struct Laid {
    std::vector<std::string> pieces;
    FakeMeasurer measurer;
};

std::string Describe(const LineFragment &f)
{
    std::ostringstream s;
    s << std::string(f.strText, f.strText.GetLength()) << "@" << f.rc.left << "," << f.rc.top << "," << f.rc.right
      << "," << f.rc.bottom;
    return s.str();
}

void LayOut(MarkupContent &content, const std::string &markup, int right, FakeMeasurer &measurer)
{
    content.m_strMarkup = CString(markup.data(), static_cast<int>(markup.size()));
    content.ParseMarkup();
    content.m_styles.clear();
    content.m_styles.push_back(TextStyle());
    content.LayoutRuns(measurer, GbkCharStepper(), right);
}

Laid LayOut(const std::string &markup, int right)
{
    Laid laid;
    MarkupContent content;
    LayOut(content, markup, right, laid.measurer);
    for (const auto &run : content.m_runs)
        for (const LineFragment &f : run->fragments)
            laid.pieces.push_back(Describe(f));
    return laid;
}

const std::string ZHONG = "\xD6\xD0";   // one GBK character, 20 pixels here

TEST(MarkupLayoutTest, BreaksPerCharacterToFitTheWidth)
{
    struct Case {
        const char *name;
        std::string markup;
        int right;
        std::vector<std::string> pieces;
    } cases[] = {
        // A piece ending exactly at the right edge fits; pieces ending a line keep their own
        // height, the last one reaches down to its line's bottom.
        {"25 characters in 100 pixels", std::string(25, 'a'), 100,
         {std::string(10, 'a') + "@0,0,100,12", std::string(10, 'a') + "@0,12,100,24", "aaaaa@0,24,50,36"}},
        {"runs share a line", "abc|bde", 100, {"abc@0,0,30,12", "de@30,0,50,12"}},
        {"a run continues after a full line", "abcdefgh|bijkl", 100,
         {"abcdefgh@0,0,80,12", "ij@80,0,100,12", "kl@0,12,20,24"}},
        {"double-byte characters stay whole", "a" + ZHONG + ZHONG + ZHONG, 40,
         {"a" + ZHONG + "@0,0,30,12", ZHONG + ZHONG + "@0,12,40,24"}},
        {"a line feed starts a new line and is not drawn", "ab\ncd", 100, {"ab@0,0,20,12", "cd@0,12,20,24"}},
        {"a trailing line feed moves the pen down", "ab\n|bc", 100, {"ab@0,0,20,12", "@0,12,0,24", "c@0,12,10,24"}},
        {"line spacing after every break", "|l05" + std::string(25, 'a'), 100,
         {std::string(10, 'a') + "@0,0,100,12", std::string(10, 'a') + "@0,17,100,29", "aaaaa@0,34,50,46"}},
        {"underlined text is one pixel taller", "|uabc", 100, {"abc@0,0,30,13"}},
        {"smaller text after taller sits on its bottom", "|s18AB|~scd", 100, {"AB@0,0,20,24", "cd@20,0,40,24"}},
        {"an empty run takes no room", "ab|$cd", 100, {"ab@0,0,20,12", "@20,0,20,12", "cd@20,0,40,12"}},
        // Narrower than one character: one character per line, no endless loop.
        {"narrower than a character", "abc|bd", 5,
         {"a@0,0,10,12", "b@0,12,10,24", "c@0,24,10,36", "@10,24,10,24", "d@0,36,10,48"}},
        {"no width at all", ZHONG + "x", 0, {ZHONG + "@0,0,20,12", "x@0,12,10,24"}},
        // The whole text fails only by the underline's pixel (a line made tall by larger text
        // before it): it is placed, not dropped.
        {"underline pixel", "|s18AB|~s|ux\ny", 100, {"AB@0,0,20,24", "x\ny@20,0,30,24"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Laid laid = LayOut(c.markup, c.right);
        EXPECT_EQ(laid.pieces, c.pieces);
        EXPECT_FALSE(laid.measurer.unbalanced);
    }
}

TEST(MarkupLayoutTest, LayingOutAgainReplacesThePieces)
{
    MarkupContent content;
    FakeMeasurer measurer;
    LayOut(content, std::string(25, 'a'), 100, measurer);
    EXPECT_EQ(content.m_runs[0]->fragments.size(), 3u);
    content.m_styles.clear();
    content.m_styles.push_back(TextStyle());
    content.LayoutRuns(measurer, GbkCharStepper(), 200);
    ASSERT_EQ(content.m_runs[0]->fragments.size(), 2u);
    EXPECT_EQ(Describe(content.m_runs[0]->fragments[1]), "aaaaa@0,12,50,24");
}

TEST(MarkupLayoutTest, StopsAtAnEmptyStyleStack)
{
    MarkupContent content;
    FakeMeasurer measurer;
    content.m_strMarkup = "ab";
    content.ParseMarkup();
    content.LayoutRuns(measurer, GbkCharStepper(), 100);
    EXPECT_TRUE(content.m_runs[0]->fragments.empty());
    EXPECT_EQ(measurer.calls, 0);
}

TEST(MarkupLayoutTest, LinksAreFoundOnlyInsidePiecesOfLinkValueOne)
{
    MarkupContent content;
    FakeMeasurer measurer;
    // ab [cd: link 1] ef [gh: link 2] xx / xxxx [klmnop / qrst: link 1, wrapped]
    LayOut(content, "ab|h01cd|~hef|h02gh|~h" + std::string(6, 'x') + "|h01klmnopqrst", 100, measurer);
    struct Case {
        int x, y;
        const char *piece;   // null: no link there
        int offset;
    } cases[] = {
        {25, 5, "cd", 2}, {20, 0, "cd", 2}, {39, 11, "cd", 2},
        {40, 5, nullptr, 0},   // right edge is outside
        {25, 12, nullptr, 0},  // so is the bottom
        {5, 5, nullptr, 0},    // plain text
        {45, 5, nullptr, 0},   // after the link closed
        {65, 5, nullptr, 0},   // link value 2 is inert
        {95, 5, nullptr, 0},   // plain x
        {5, 15, nullptr, 0},   // plain x on the second line
        {45, 15, "klmnop", 14},
        {5, 30, "qrst", 14},   // the wrapped part: the offset is still its run's
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        const LineFragment *f = content.LinkFragmentAt(c.x, c.y);
        int offset = -1;
        const MarkupRun *run = content.LinkRunAt(c.x, c.y, &offset);
        if (!c.piece) {
            EXPECT_EQ(f, nullptr);
            EXPECT_EQ(run, nullptr);
            continue;
        }
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(std::string(f->strText), c.piece);
        ASSERT_NE(run, nullptr);
        EXPECT_EQ(offset, c.offset);
    }
}

// Many thousand runs, and one very long run: the measuring work grows with the text.
TEST(MarkupLayoutTest, CostGrowsLinearly)
{
    std::string many;
    const int runs = 20000;
    for (int i = 0; i < runs; ++i)
        many += (i % 2 ? "|c0000ffab|~c" : "|h01cd|~h");
    Laid laid = LayOut(many, 300);
    EXPECT_EQ(laid.pieces.size(), static_cast<size_t>(runs) + runs * 2 / 30);
    EXPECT_LE(laid.measurer.calls, 5L * runs);
    EXPECT_LE(laid.measurer.bytes, 40LL * runs);

    const int length = 200000;
    Laid longRun = LayOut(std::string(length, 'a'), 100);
    EXPECT_EQ(longRun.pieces.size(), static_cast<size_t>(length / 10));
    EXPECT_LE(longRun.measurer.bytes, 20LL * length);
    std::printf("layout work: %d runs: %ld measurements, %lld bytes; one run of %d bytes: %ld measurements, %lld bytes\n",
                runs, laid.measurer.calls, laid.measurer.bytes, length, longRun.measurer.calls, longRun.measurer.bytes);
}

} // namespace
