// Test helper: holds files open until asked, then reports which of its handles are
// still open. Talks through named events and a report file only (never a pipe: the walk
// under test duplicates pipes too).
//   HandleHolder.exe TOKEN REPORT FILLER FILLER_COUNT FILE...
// Writes one line per FILE ("1" open, "0" closed), then the count of filler handles
// still open. With TOKEN "-" it holds the files until it is killed (the demo's infected
// machine).
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Paths come as UTF-16 from the command line: any name is held, whatever the code page.
HANDLE OpenShared(const wchar_t *path)
{
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

bool IsOpen(HANDLE handle)
{
    DWORD flags;
    return GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE OpenNamedEvent(const std::string &token, const char *what)
{
    std::string name = "Local\\HalvexHolder" + std::string(what) + "-" + token;
    return OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name.c_str());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 5)
        return 2;
    int wideCount = 0;
    wchar_t **wargv = CommandLineToArgvW(GetCommandLineW(), &wideCount);
    if (!wargv || wideCount != argc)
        return 2;
    std::string token = argv[1];
    const wchar_t *report = wargv[2];
    const bool untilKilled = token == "-";
    HANDLE ready = untilKilled ? nullptr : OpenNamedEvent(token, "Ready");
    HANDLE check = untilKilled ? nullptr : OpenNamedEvent(token, "Check");
    HANDLE done = untilKilled ? nullptr : OpenNamedEvent(token, "Done");
    if (!untilKilled && (!ready || !check || !done))
        return 3;

    std::vector<HANDLE> held;
    for (int i = 5; i < argc; ++i) {
        HANDLE h = OpenShared(wargv[i]);
        if (h == INVALID_HANDLE_VALUE)
            return 4;
        held.push_back(h);
    }
    long fillerCount = strtol(argv[4], nullptr, 10);
    std::vector<HANDLE> filler;
    filler.reserve(static_cast<size_t>(fillerCount));
    for (long i = 0; i < fillerCount; ++i) {
        HANDLE h = OpenShared(wargv[3]);
        if (h == INVALID_HANDLE_VALUE)
            return 5;
        filler.push_back(h);
    }
    if (untilKilled)
        Sleep(INFINITE);
    SetEvent(ready);
    if (WaitForSingleObject(check, 600000) != WAIT_OBJECT_0)
        return 6;

    // Look at every handle before opening the report, which could reuse a closed value.
    std::string lines;
    for (HANDLE h : held)
        lines += IsOpen(h) ? "1\n" : "0\n";
    long stillOpen = 0;
    for (HANDLE h : filler)
        stillOpen += IsOpen(h) ? 1 : 0;
    lines += std::to_string(stillOpen) + "\n";

    HANDLE out = CreateFileW(report, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return 7;
    DWORD written;
    WriteFile(out, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    CloseHandle(out);
    SetEvent(done);
    return 0;
}
