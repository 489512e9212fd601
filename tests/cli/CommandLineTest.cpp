// The command line as administrators' tools pass it: one table of whole command lines.
#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

struct Case {
    const char *name;
    std::string commandLine;   // with the program's path, as GetCommandLineW gives it
    bool help, quiet, scan, fixHosts, report;
    std::string reportPath;
    CommandLineError error;
    std::string badArgument;
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

class CommandLineTable : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLineTable, Parses)
{
    const Case &c = GetParam();
    const CommandLine cmd = ParseCommandLine(c.commandLine);
    EXPECT_EQ(cmd.nError, c.error);
    EXPECT_EQ(cmd.strBadArgument, c.badArgument);
    EXPECT_EQ(cmd.bHelp, c.help);
    EXPECT_EQ(cmd.bQuiet, c.quiet);
    EXPECT_EQ(cmd.bScan, c.scan);
    EXPECT_EQ(cmd.bFixHosts, c.fixHosts);
    EXPECT_EQ(cmd.bReport, c.report);
    EXPECT_EQ(cmd.strReport, c.reportPath);
    // Only a line without arguments opens the window.
    EXPECT_EQ(cmd.Interactive(), !c.help && !c.quiet && c.error == CMDLINE_OK);
}

const std::string EXE = "\"C:\\Program Files\\Orvane\\HalvexFix.exe\"";
const CommandLineError OK = CMDLINE_OK;

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLineTable,
    ::testing::Values(
        // No arguments: the window, however the program's path is written.
        Case{"none", EXE, false, false, false, false, false, "", OK, ""},
        Case{"none, trailing blanks", EXE + " \t ", false, false, false, false, false, "", OK, ""},
        Case{"none, unquoted path", "C:\\Tools\\HalvexFix.exe", false, false, false, false, false, "", OK, ""},
        Case{"path quoted in the middle", "C:\\\"Program Files\"\\HalvexFix.exe", false, false, false, false, false,
             "", OK, ""},
        Case{"path ending in a backslash before its quote", "\"C:\\Tools\\\" /quiet", false, true, false, false,
             false, "", OK, ""},

        // Each switch, both prefixes, any case.
        Case{"quiet", EXE + " /quiet", false, true, false, false, false, "", OK, ""},
        Case{"q", EXE + " /q", false, true, false, false, false, "", OK, ""},
        Case{"QUIET dash", EXE + " -QUIET", false, true, false, false, false, "", OK, ""},
        Case{"Q", EXE + " /Q", false, true, false, false, false, "", OK, ""},
        Case{"help ?", EXE + " /?", true, false, false, false, false, "", OK, ""},
        Case{"help -?", EXE + " -?", true, false, false, false, false, "", OK, ""},
        Case{"help /H", EXE + " /H", true, false, false, false, false, "", OK, ""},
        Case{"help -Help", EXE + " -Help", true, false, false, false, false, "", OK, ""},
        Case{"scan", EXE + " /quiet /scan", false, true, true, false, false, "", OK, ""},
        Case{"ScAn dash", EXE + " -q -ScAn", false, true, true, false, false, "", OK, ""},
        Case{"fixhosts", EXE + " /quiet /fixhosts", false, true, false, true, false, "", OK, ""},
        Case{"FIXHOSTS dash", EXE + " -FIXHOSTS /Q", false, true, false, true, false, "", OK, ""},
        Case{"switch given twice", EXE + " /q /quiet /scan -scan", false, true, true, false, false, "", OK, ""},

        // The report file: separate argument or after a colon; quoting and spaces.
        Case{"report", EXE + " /quiet /report C:\\r.json", false, true, false, false, true, "C:\\r.json", OK, ""},
        Case{"report before quiet", EXE + " /REPORT r.json /q", false, true, false, false, true, "r.json", OK, ""},
        Case{"report with colon", EXE + " /q -report:C:\\out\\r.json", false, true, false, false, true,
             "C:\\out\\r.json", OK, ""},
        Case{"report quoted with spaces", EXE + " /q /report \"C:\\My Reports\\pc 1.json\"", false, true, false,
             false, true, "C:\\My Reports\\pc 1.json", OK, ""},
        Case{"report quoted in part", EXE + " /q /report \"C:\\My Reports\"\\r.json", false, true, false, false,
             true, "C:\\My Reports\\r.json", OK, ""},
        Case{"report with colon, quoted", EXE + " /q \"/report:C:\\A B\\r.json\"", false, true, false, false, true,
             "C:\\A B\\r.json", OK, ""},
        Case{"report with a literal quote", EXE + " /q /report a\\\"b.json", false, true, false, false, true,
             "a\"b.json", OK, ""},
        Case{"report of a UNC path", EXE + " /q /report \\\\server\\share\\r.json", false, true, false, false, true,
             "\\\\server\\share\\r.json", OK, ""},
        Case{"report starting with a dash", EXE + " /q /report -r.json", false, true, false, false, true, "-r.json",
             OK, ""},
        Case{"report in Chinese", EXE + u8" /q /report \"D:\\报告\\一号机.json\"", false, true, false, false, true,
             u8"D:\\报告\\一号机.json", OK, ""},
        Case{"tabs between arguments", EXE + "\t/q\t/report\tr.json", false, true, false, false, true, "r.json", OK,
             ""},
        Case{"scan with report", EXE + " /q /scan /report r.json", false, true, true, false, true, "r.json", OK, ""},
        Case{"fixhosts with report", EXE + " /fixhosts /report r.json /quiet", false, true, false, true, true,
             "r.json", OK, ""},

        // /report without a file.
        Case{"report at the end", EXE + " /q /report", false, true, false, false, false, "", CMDLINE_MISSING_REPORT,
             "/report"},
        Case{"report followed by a switch", EXE + " /report /quiet", false, true, false, false, false, "",
             CMDLINE_MISSING_REPORT, "/report"},
        Case{"report followed by a dash switch", EXE + " /q /report -scan", false, true, true, false, false, "",
             CMDLINE_MISSING_REPORT, "/report"},
        Case{"report with an empty colon", EXE + " /q /report:", false, true, false, false, false, "",
             CMDLINE_MISSING_REPORT, "/report:"},
        Case{"report with an empty quoted file", EXE + " /q /report \"\"", false, true, false, false, false, "",
             CMDLINE_MISSING_REPORT, "/report"},
        Case{"report twice", EXE + " /q /report a.json /report b.json", false, true, false, false, true, "a.json",
             CMDLINE_REPEATED_REPORT, "/report"},

        // Unknown arguments.
        Case{"unknown switch", EXE + " /quiet /fast", false, true, false, false, false, "", CMDLINE_UNKNOWN_ARGUMENT,
             "/fast"},
        Case{"bare word", EXE + " quiet", false, false, false, false, false, "", CMDLINE_UNKNOWN_ARGUMENT, "quiet"},
        Case{"double dash", EXE + " --quiet", false, false, false, false, false, "", CMDLINE_UNKNOWN_ARGUMENT,
             "--quiet"},
        Case{"prefix alone", EXE + " /", false, false, false, false, false, "", CMDLINE_UNKNOWN_ARGUMENT, "/"},
        Case{"abbreviation", EXE + " /qui", false, false, false, false, false, "", CMDLINE_UNKNOWN_ARGUMENT, "/qui"},
        Case{"colon on another switch", EXE + " /quiet:yes", false, false, false, false, false, "",
             CMDLINE_UNKNOWN_ARGUMENT, "/quiet:yes"},
        Case{"empty argument", EXE + " /q \"\"", false, true, false, false, false, "", CMDLINE_UNKNOWN_ARGUMENT, ""},
        Case{"first error wins", EXE + " /x /y", false, false, false, false, false, "", CMDLINE_UNKNOWN_ARGUMENT, "/x"},
        Case{"unknown with help", EXE + " /? /x", true, false, false, false, false, "", CMDLINE_UNKNOWN_ARGUMENT,
             "/x"},
        Case{"non-ASCII switch", EXE + u8" /静默", false, false, false, false, false, "", CMDLINE_UNKNOWN_ARGUMENT,
             u8"/静默"},
        Case{"quoted switch with a space", EXE + " \"/quiet \"", false, false, false, false, false, "",
             CMDLINE_UNKNOWN_ARGUMENT, "/quiet "},

        // Combinations that make no sense.
        Case{"scan without quiet", EXE + " /scan", false, false, true, false, false, "", CMDLINE_NEEDS_QUIET,
             "/scan"},
        Case{"fixhosts without quiet", EXE + " -fixhosts", false, false, false, true, false, "", CMDLINE_NEEDS_QUIET,
             "/fixhosts"},
        Case{"report without quiet", EXE + " /report r.json", false, false, false, false, true, "r.json",
             CMDLINE_NEEDS_QUIET, "/report"},
        Case{"scan and fixhosts", EXE + " /q /scan /fixhosts", false, true, true, true, false, "",
             CMDLINE_SCAN_AND_FIXHOSTS, "/fixhosts"},
        Case{"help with quiet", EXE + " /q /?", true, true, false, false, false, "", OK, ""}));

// The splitting rules of the C runtime, on their own.
TEST(SplitCommandLine, FollowsTheRuntimesRules)
{
    struct {
        std::string line;
        std::vector<std::string> args;
    } cases[] = {
        {"a b\tc", {"a", "b", "c"}},
        {"\"a b\" c", {"a b", "c"}},
        {"a\\\\b", {"a\\\\b"}},                 // backslashes not before a quote stay
        {"a\\\\\"b c\"", {"a\\b c"}},           // 2n backslashes + quote: n, and the quote groups
        {"a\\\\\\\"b", {"a\\\"b"}},             // 2n+1: n and a literal quote
        {"\"a\"\"b\"", {"a\"b"}},               // "" inside quotes: one literal quote
        {"\"unterminated arg", {"unterminated arg"}},
        {"\"\"", {""}},
        {"", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SplitCommandLine(c.line, false), c.args) << c.line;
}

TEST(CommandLineTexts, EveryErrorIsExplained)
{
    for (const char *args : {" /x", " /q /report", " /q /report a /report b", " /scan", " /q /scan /fixhosts"}) {
        const CommandLine cmd = ParseCommandLine("HalvexFix.exe" + std::string(args));
        ASSERT_NE(cmd.nError, CMDLINE_OK) << args;
        EXPECT_FALSE(CommandLineErrorText(cmd).empty()) << args;
    }
    // The usage names every switch and every exit code.
    const std::string usage = UsageText();
    for (const char *word : {"/quiet", "/q", "/scan", "/fixhosts", "/report", "/?", "  0  ", "  1  ", "  2  ",
                             "  3  ", "  4  ", "  5  "})
        EXPECT_NE(usage.find(word), std::string::npos) << word;
}

} // namespace
