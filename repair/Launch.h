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

// Copies <install dir>\fileName to <install dir>\<number>.exe. The buffer receives the
// copy's path (cut to capacity - 1 bytes) also when the copy failed.
bool CopyToRandomName(const char *fileName, char *buffer, std::size_t capacity);

// Starts the program at exactly this path; falls back to the shell.
bool RunProgram(const char *path);

// Schedules the file for deletion at the next restart.
bool DeleteAtReboot(const char *path);
