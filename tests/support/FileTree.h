// A test's own directory, and removing a test's files again.
#pragma once

#include <string>
#include <vector>

// A new, empty directory "<name> <process id>" under the temporary directory; what an earlier
// run left there is removed first. Empty when it cannot be made.
std::string FreshTestDir(const char *name);

// Deletes dir with everything below it. A program that was just started from there may still
// be closing its image, so each file is retried for a few seconds.
void RemoveTree(const std::string &dir);

// The files of dir whose names are a decimal number and ".exe" (safe start's copies).
std::vector<std::string> NumberedCopies(const std::string &dir);
