// The short summary of an unattended run for the console it was started from: the same
// lines as the report, in UTF-8 with CR LF line ends.
#pragma once

#include <string>

#include "cli/RunReport.h"

std::string ReportSummary(const RunReport &report);

// One sentence for an exit code (a scan's 1 and 2 say "would" and "cannot").
const char *ExitCodeText(int exitCode, RunMode mode);
