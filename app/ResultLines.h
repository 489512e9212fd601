// The texts of the result lines, as the problem list shows them, and of the two messages of
// the hosts repair.
#pragma once

#include "app/RepairWorkflow.h"

const char *ResultLineText(ResultLine line);

// The hosts repair removed the redirection (RepairHostsFile gave 1), or found it and could
// not rewrite the file (-1).
extern const char HOSTS_REPAIRED[];
extern const char HOSTS_NOT_REPAIRED[];
