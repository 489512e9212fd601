// The tool run from its command line: the usage, command-line errors, and the unattended
// repair or scan with its report and console summary. No window is ever created here,
// except the one message box that shows the usage or an error to a user who started the
// tool with arguments but without /quiet and without a console.
#pragma once

#include "cli/CommandLine.h"

// Returns the process's exit code.
int RunFromCommandLine(const CommandLine &cmd);
