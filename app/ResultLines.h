// The texts of the result lines, as the problem list shows them.
#pragma once

#include "app/RepairWorkflow.h"

const char *ResultLineText(ResultLine line);
