// A stand-in for one of the product's executables: a window-less program that appends its
// own full path and its command line, as one UTF-8 line, to the file named by
// HALVEX_FIXTURE_LOG, and exits 0. Tests sign copies of it and start it.
#include <windows.h>

namespace {

void WriteUtf8(HANDLE log, const wchar_t *text)
{
    char buffer[4 * MAX_PATH * 3];
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, lstrlenW(text), buffer, sizeof(buffer), nullptr, nullptr);
    DWORD written = 0;
    if (n > 0)
        WriteFile(log, buffer, static_cast<DWORD>(n), &written, nullptr);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    wchar_t logPath[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(L"HALVEX_FIXTURE_LOG", logPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return 0;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    HANDLE log = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return 0;
    WriteUtf8(log, self);
    WriteUtf8(log, L" ");
    WriteUtf8(log, GetCommandLineW());
    WriteUtf8(log, L"\r\n");
    CloseHandle(log);
    return 0;
}
