// Any command line: splitting and parsing stay in bounds, an argument list quoted back into a
// command line splits into the same list, and a parse that succeeds is one the tool can act on.
#include "cli/CommandLine.h"

#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

namespace {

// The inverse of the runtime's splitting: quotes every argument.
std::string Quote(const std::string &arg)
{
    std::string out = "\"";
    size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, '\\');   // before the closing quote
    return out + "\"";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string line(reinterpret_cast<const char *>(data), size);
    const std::vector<std::string> args = SplitCommandLine(line, false);

    std::string joined = "HalvexFix.exe";
    for (const std::string &arg : args)
        joined += " " + Quote(arg);
    if (SplitCommandLine(joined, true) != args)
        abort();

    const CommandLine cmd = ParseCommandLine(line);
    if (cmd.nError == CMDLINE_OK) {
        if (cmd.bReport && cmd.strReport.empty())
            abort();
        if ((cmd.bScan || cmd.bFixHosts || cmd.bReport) && !cmd.bQuiet)
            abort();
        if (cmd.bScan && cmd.bFixHosts)
            abort();
        if (!cmd.strBadArgument.empty())
            abort();
    } else if (CommandLineErrorText(cmd).empty()) {
        abort();
    }
    return 0;
}
