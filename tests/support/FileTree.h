// Removing a test's files again.
#pragma once

#include <string>

// Deletes dir with everything below it. A program that was just started from there may still
// be closing its image, so each file is retried for a few seconds.
void RemoveTree(const std::string &dir);
