// The report of an unattended run as JSON text (UTF-8), for the administrator's tools.
#pragma once

#include <string>

#include "cli/RunReport.h"

// Field names and their meaning are documented in the README. Strings that are not valid
// UTF-8 have the bad bytes replaced; the function throws only when memory runs out.
std::string ReportJson(const RunReport &report);
