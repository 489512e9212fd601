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

// What opening a page needs of the running desktop and of the user.
class PageDesktop {
public:
    virtual ~PageDesktop() = default;
    // Whether the desktop's shell (the user's own, not elevated) answers.
    virtual bool ShellAnswers() = 0;
    // Has the desktop's shell open the file with these parameters (may be null).
    virtual bool ShellOpen(const char *file, const char *parameters) = 0;
    // Tells the user the page's address when nothing may open it.
    virtual void ShowAddress(const char *text) = 0;
};

// Whether the user's own classes override the http open verb (HKCU\Software\Classes).
bool HasPerUserHttpHandler();

// Opens the page as the desktop's user, through the running desktop's shell; Internet
// Explorer when it is the default browser, else the default handler. Only when no desktop
// shell answers does the tool open it itself, and then never through a handler of the
// user's own: the address is shown instead.
bool OpenUrl(const char *url);
bool OpenUrl(const char *url, PageDesktop &desktop);

// Tick count plus one value of a generator seeded with the current second.
std::uint32_t MakeRandomNumber();

// The source of the copy's numbers; tests put in one that does not follow the clock (null
// restores MakeRandomNumber). Returns the one it replaced.
typedef std::uint32_t (*RandomNumberFn)();
RandomNumberFn SetRandomNumberFnForTesting(RandomNumberFn pfn);

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
