// The tool's command line: splitting it into arguments the way the C runtime does, and
// reading the switches of an unattended run. Plain C++; the text is UTF-8 (the Win32 side
// converts the wide command line), so a report path keeps every character it was given.
#pragma once

#include <string>
#include <vector>

enum CommandLineError {
    CMDLINE_OK,
    CMDLINE_UNKNOWN_ARGUMENT,   // an argument that is none of the tool's switches
    CMDLINE_MISSING_REPORT,     // /report without a file name
    CMDLINE_REPEATED_REPORT,    // /report given twice
    CMDLINE_NEEDS_QUIET,        // /scan, /fixhosts or /report without /quiet
    CMDLINE_SCAN_AND_FIXHOSTS,  // /scan changes nothing, /fixhosts changes the hosts file
};

struct CommandLine {
    bool bHelp = false;      // /?, /h, /help
    bool bQuiet = false;     // /quiet, /q
    bool bScan = false;      // /scan
    bool bFixHosts = false;  // /fixhosts
    bool bReport = false;    // /report FILE or /report:FILE
    std::string strReport;   // the report's path as given
    CommandLineError nError = CMDLINE_OK;
    std::string strBadArgument;  // the argument the error is about

    // No argument at all: the window, exactly as a double click starts it.
    bool Interactive() const { return !bHelp && !bQuiet && nError == CMDLINE_OK; }
};

// Splits a command line by the C runtime's rules: arguments are separated by spaces and
// tabs; double quotes group (and are removed); 2n backslashes before a quote give n
// backslashes and the quote groups, 2n+1 give n backslashes and a literal quote; two quotes
// inside a quoted part give one literal quote; other backslashes are literal. With
// bProgramName the first argument is the program's path, which ends at the first space
// outside quotes and takes no backslash rules; it is not returned.
std::vector<std::string> SplitCommandLine(const std::string &strCommandLine, bool bProgramName);

// Reads the arguments (without the program name). Switches start with '/' or '-' and are
// matched without regard to the case of ASCII letters. The first error found is kept.
CommandLine ParseArguments(const std::vector<std::string> &args);

// SplitCommandLine with the program name, then ParseArguments.
CommandLine ParseCommandLine(const std::string &strCommandLine);

// The usage text and a one-line explanation of an error, in UTF-8 with CR LF line ends.
const char *UsageText();
std::string CommandLineErrorText(const CommandLine &cmd);
