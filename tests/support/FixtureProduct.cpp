// A stand-in for one of the product's executables: a window-less program that appends its
// own full path and its command line, as one line, to the file named by HALVEX_FIXTURE_LOG,
// and exits 0. Tests sign copies of it and start it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char logPath[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableA("HALVEX_FIXTURE_LOG", logPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return 0;
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    HANDLE log = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return 0;
    const char *commandLine = GetCommandLineA();
    DWORD written = 0;
    WriteFile(log, self, lstrlenA(self), &written, nullptr);
    WriteFile(log, " ", 1, &written, nullptr);
    WriteFile(log, commandLine, lstrlenA(commandLine), &written, nullptr);
    WriteFile(log, "\r\n", 2, &written, nullptr);
    CloseHandle(log);
    return 0;
}
