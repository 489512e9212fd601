#include "repair/Launch.h"

#include "repair/InstallDir.h"

#include <windows.h>
#include <shellapi.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

const char HTTP_COMMAND_KEY[] = "http\\shell\\open\\command";
const char IEXPLORE_APP_PATH_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App paths\\IEXPLORE.EXE";
const char IE_SETUP_KEY[] = "Software\\Microsoft\\IE Setup\\Setup";
const char IE_SETUP_PATH_VALUE[] = "Path";
const char IEXPLORE_NAME[] = "iexplore.exe";
const char OPEN_VERB[] = "open";

const DWORD VALUE_BYTES = 512;
const DWORD EXPANDED_CHARS = 1024;

// Reads a value into a 512-byte buffer. One spare zero byte after it: a value that fills
// all 512 bytes is stored without a terminating zero.
bool ReadRegistryText(HKEY root, const char *subKey, const char *valueName, std::string &text)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    char buffer[VALUE_BYTES + 1] = {};
    DWORD size = VALUE_BYTES;
    LONG rc = RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE *>(buffer), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return false;
    text = buffer;
    return true;
}

// A result that did not fit the 1024-character buffer is a failure, not a cut path.
bool ExpandInto(const std::string &value, std::string &out)
{
    char buffer[EXPANDED_CHARS] = {};
    DWORD n = ExpandEnvironmentStringsA(value.c_str(), buffer, EXPANDED_CHARS);
    if (n == 0 || n > EXPANDED_CHARS)
        return false;
    out = buffer;
    return true;
}

// Lower case by the ANSI code page: a byte-wise tolower would change GBK trail bytes
// that happen to be in 'A'..'Z'.
void MakeLower(std::string &text)
{
    if (text.empty() || text.size() > MAXDWORD)
        return;
    DWORD n = CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    if (n != 0 && n < text.size())
        text.resize(n);
}

// A GBK trail byte may be 0x5C; only a single-byte last character is a backslash.
bool EndsInBackslash(const std::string &path)
{
    if (path.empty())
        return false;
    const char *begin = path.c_str();
    const char *end = begin + path.size();
    const char *last = CharPrevA(begin, end);
    return last == end - 1 && *last == '\\';
}

bool ShellOpen(const char *file, const char *parameters, int show)
{
    HINSTANCE h = ShellExecuteA(nullptr, OPEN_VERB, file, parameters, nullptr, show);
    return reinterpret_cast<INT_PTR>(h) > 32;
}

} // namespace

bool GetDefaultBrowserCommand(std::string &text)
{
    text.clear();
    if (!ReadRegistryText(HKEY_CLASSES_ROOT, HTTP_COMMAND_KEY, nullptr, text))
        return false;
    MakeLower(text);
    return true;
}

bool GetIExplorePath(std::string &path)
{
    path.clear();
    std::string value;
    bool found = ReadRegistryText(HKEY_LOCAL_MACHINE, IEXPLORE_APP_PATH_KEY, nullptr, value)
                 && ExpandInto(value, path);
    if (!found) {
        path.clear();
        if (!ReadRegistryText(HKEY_LOCAL_MACHINE, IE_SETUP_KEY, IE_SETUP_PATH_VALUE, value))
            return false;
        if (!ExpandInto(value, path))
            return false;
    }
    MakeLower(path);
    if (path.find(IEXPLORE_NAME) != std::string::npos)
        return true;
    if (!EndsInBackslash(path))
        path += '\\';
    path += IEXPLORE_NAME;
    return true;
}

bool OpenUrl(const char *url)
{
    std::string command;
    std::string iexplore;
    if (GetDefaultBrowserCommand(command) && command.find(IEXPLORE_NAME) != std::string::npos
        && GetIExplorePath(iexplore) && ShellOpen(iexplore.c_str(), url, SW_SHOW))
        return true;
    return ShellOpen(url, nullptr, SW_SHOW);
}

std::uint32_t MakeRandomNumber()
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    return static_cast<std::uint32_t>(GetTickCount()) + static_cast<std::uint32_t>(std::rand());
}

bool CopyToRandomName(const char *fileName, char *buffer, std::size_t capacity)
{
    if (!fileName || !*fileName || !buffer || capacity == 0)
        return false;
    std::memset(buffer, 0, capacity);

    const char *dir = GetInstallDir();
    std::string target(std::strlen(dir) + 16, '\0');
    int n = std::snprintf(&target[0], target.size(), "%s\\%u.exe", dir, static_cast<unsigned>(MakeRandomNumber()));
    target.resize(n > 0 ? static_cast<std::size_t>(n) : 0);

    std::string source = MakeProductPath(fileName);
    BOOL copied = CopyFileA(source.c_str(), target.c_str(), FALSE);

    lstrcpynA(buffer, target.c_str(), capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity));
    return copied != FALSE;
}

bool RunProgram(const char *path)
{
    if (!path)
        return false;
    // The tool runs elevated: an unquoted path with a space would let "C:\Program.exe"
    // start in the product's place. The path is the application name and, quoted, argv[0].
    std::string commandLine = "\"";
    commandLine += path;
    commandLine += '"';
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(path, &commandLine[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                       &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
    }
    return ShellOpen(path, nullptr, SW_SHOWNORMAL);
}

bool DeleteAtReboot(const char *path)
{
    if (!path)
        return false;
    return MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}
