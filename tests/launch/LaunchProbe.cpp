// Stand-in for a browser or the product: appends one line to the file named by
// HALVEX_LAUNCH_LOG: its own path, then each argument as it received it, tab-separated.
// With HALVEX_LAUNCH_PARENT_LOG set, it also appends the id of the process that started it
// there, one line per start.
// A page opened through the desktop's shell starts the probe from Explorer, whose
// environment the test never set: the probe then takes the variables from the environment
// of another process of the session that holds them (the test).
#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

DWORD ParentId()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    DWORD parent = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId()) {
            parent = entry.th32ParentProcessID;
            break;
        }
    }
    CloseHandle(snapshot);
    return parent;
}

// The value of NAME in another process's environment block, read through its PEB.
bool ReadForeignVariable(DWORD pid, const std::wstring &name, std::wstring &value)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process)
        return false;
    bool found = false;
    PROCESS_BASIC_INFORMATION info = {};
    PEB peb = {};
    ULONG length = 0;
    // The environment pointer of the process parameters, past the fields the headers show.
    const size_t ENVIRONMENT_OFFSET = sizeof(void *) == 8 ? 0x80 : 0x48;
    void *environment = nullptr;
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &info, sizeof(info), &length) == 0
        && info.PebBaseAddress && ReadProcessMemory(process, info.PebBaseAddress, &peb, sizeof(peb), nullptr)
        && ReadProcessMemory(process, reinterpret_cast<char *>(peb.ProcessParameters) + ENVIRONMENT_OFFSET,
                             &environment, sizeof(environment), nullptr)
        && environment) {
        std::vector<wchar_t> block(32768);
        SIZE_T got = 0;
        ReadProcessMemory(process, environment, block.data(), block.size() * sizeof(wchar_t), &got);
        block.resize(got / sizeof(wchar_t));
        const std::wstring prefix = name + L"=";
        for (size_t i = 0; i < block.size() && block[i];) {
            std::wstring entry(&block[i]);
            if (i + entry.size() >= block.size())
                break;
            if (entry.compare(0, prefix.size(), prefix) == 0) {
                value = entry.substr(prefix.size());
                found = true;
                break;
            }
            i += entry.size() + 1;
        }
    }
    CloseHandle(process);
    return found;
}

bool GetVariable(const char *name, std::string &value)
{
    char own[MAX_PATH] = {};
    if (GetEnvironmentVariableA(name, own, MAX_PATH)) {
        value = own;
        return true;
    }
    const std::wstring wideName(name, name + std::char_traits<char>::length(name));
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    std::wstring found;
    bool ok = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !ok; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID != GetCurrentProcessId())
            ok = ReadForeignVariable(entry.th32ProcessID, wideName, found);
    }
    CloseHandle(snapshot);
    if (!ok)
        return false;
    char narrow[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, found.c_str(), -1, narrow, MAX_PATH, nullptr, nullptr);
    value = narrow;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    std::string parentLog;
    if (GetVariable("HALVEX_LAUNCH_PARENT_LOG", parentLog)) {
        if (std::FILE *p = std::fopen(parentLog.c_str(), "ab")) {
            std::fprintf(p, "%lu\n", static_cast<unsigned long>(ParentId()));
            std::fclose(p);
        }
    }
    std::string log;
    if (!GetVariable("HALVEX_LAUNCH_LOG", log))
        return 1;
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::FILE *f = std::fopen(log.c_str(), "ab");
    if (!f)
        return 1;
    std::fputs(self, f);
    for (int i = 1; i < argc; ++i) {
        std::fputc('\t', f);
        std::fputs(argv[i], f);
    }
    std::fputc('\n', f);
    std::fclose(f);
    return 0;
}
