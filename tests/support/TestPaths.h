// Where a test finds the programs built beside it.
#pragma once

#include <string>

// The directory of the running test's exe, without a trailing backslash.
std::string ExeDir();

// HalvexFix.exe, built beside the running test.
std::string ToolPath();
