// The hosts line rules, byte for byte.
#include "repair/HostsFilter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char DOMAIN_NAME[] = "halvex.example.com";

struct FilterCase {
    const char *name;
    std::string input;
    std::string kept;
    size_t removed;
};

void PrintTo(const FilterCase &c, std::ostream *os) { *os << c.name; }

const FilterCase FILTER_CASES[] = {
    {"Empty", "", "", 0},
    {"NoMention", "127.0.0.1 localhost\r\n", "127.0.0.1 localhost\r\n", 0},
    {"RedirectRemoved", "127.0.0.1 localhost\r\n1.2.3.4 halvex.example.com\r\n",
     "127.0.0.1 localhost\r\n", 1},
    {"EveryLineRemoved", "1.2.3.4 halvex.example.com\n#halvex.example.com\n", "", 2},
    {"SubdomainRemoved", "1.2.3.4 www.halvex.example.com\n", "", 1},
    {"LineStartingWithDomainKept", "halvex.example.com 1.2.3.4\n",
     "halvex.example.com 1.2.3.4\r\n", 0},
    {"UpperCaseKept", "1.2.3.4 HALVEX.EXAMPLE.COM\n", "1.2.3.4 HALVEX.EXAMPLE.COM\r\n", 0},
    {"BareLfBecomesCrLf", "a\nb\n", "a\r\nb\r\n", 0},
    {"LastLineWithoutTerminator", "a\r\nb", "a\r\nb\r\n", 0},
    {"CrCrLfKeepsOneCr", "a\r\r\nb\r\n", "a\r\r\nb\r\n", 0},
    {"LoneCrStaysInLine", "a\rb\n1.2.3.4\rhalvex.example.com\n", "a\rb\r\n", 1},
    {"TrailingCrWithoutLf", "a\r", "a\r\r\n", 0},
    {"EmptyLinesKept", "\n\r\n\n", "\r\n\r\n\r\n", 0},
    // Ctrl-Z ends a text-mode read; here it is content, so nothing after it is lost.
    {"CtrlZIsContent", std::string("a\x1A\nb halvex.example.com\nc\n"), "a\x1A\r\nc\r\n", 1},
    {"NulIsContent", std::string("a\0b halvex.example.com\nc\n", 25), "c\r\n", 1},
    {"DomainSplitByNulNotFound", std::string("1 halvex.exa\0mple.com\n", 22),
     std::string("1 halvex.exa\0mple.com\r\n", 23), 0},
    // The first occurrence decides: at position 0 the line stays.
    {"DomainAtStartAndLater", "halvex.example.com halvex.example.com\n",
     "halvex.example.com halvex.example.com\r\n", 0},
    {"PartialDomainKept", "1.2.3.4 halvex.example.co\n", "1.2.3.4 halvex.example.co\r\n", 0},
};

class HostsFilterTable : public testing::TestWithParam<FilterCase> {};

TEST_P(HostsFilterTable, KeepsAndRemovesLines)
{
    const FilterCase &c = GetParam();
    HostsFilterResult result = FilterHostsText(c.input.data(), c.input.size(), DOMAIN_NAME);
    EXPECT_EQ(result.strKept, c.kept);
    EXPECT_EQ(result.nRemoved, c.removed);
}

INSTANTIATE_TEST_SUITE_P(Lines, HostsFilterTable, testing::ValuesIn(FILTER_CASES),
                         [](const testing::TestParamInfo<FilterCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(HostsFilter, LongLineHasNoLimit)
{
    std::string line(1 << 20, 'x');
    std::string input = line + " halvex.example.com\n" + line + "\n";
    HostsFilterResult result = FilterHostsText(input.data(), input.size(), DOMAIN_NAME);
    EXPECT_EQ(result.nRemoved, 1u);
    EXPECT_EQ(result.strKept, line + "\r\n");
}

} // namespace
