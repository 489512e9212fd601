// Sending the user on: opening a web page, and starting the product through a copy with a
// random numeric name that is deleted at the next restart. Paths, URLs and commands are UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The default value of HKCR "http\shell\open\command", lower case.
bool GetDefaultBrowserCommand(std::string &text);

// The full path of iexplore.exe (App Paths first, then IE Setup's "Path"), lower case.
bool GetIExplorePath(std::string &path);

// Opens the page; Internet Explorer directly when it is the default browser, else the shell.
bool OpenUrl(const char *url);

// Tick count plus one value of a generator seeded with the current second.
std::uint32_t MakeRandomNumber();

// Copies <install dir>\fileName to <install dir>\<number>.exe, a name that does not exist
// yet: an existing file is never overwritten, another number is tried instead. The buffer
// receives the copy's path (cut to capacity - 1 bytes) also when the copy failed.
bool CopyToRandomName(const char *fileName, char *buffer, std::size_t capacity);

// Whether the file at this path is genuine by the rule that chose it for the safe start.
typedef bool (*SafeStartCheck)(const char *path);

// The safe start: copies the executable to a fresh random name, holds the copy so that
// nobody can change, replace or rename it, checks the copy itself and starts exactly that
// file, then schedules it for deletion at the next restart. When the copy, the check or the
// start fails, nothing is started, the copy is deleted (or scheduled for deletion) and false
// is returned. The copy's path lands in the buffer.
bool StartVerifiedCopy(const char *fileName, SafeStartCheck check, char *buffer, std::size_t capacity);

// Starts the program at exactly this path; falls back to the shell.
bool RunProgram(const char *path);

// Schedules the file for deletion at the next restart.
bool DeleteAtReboot(const char *path);
