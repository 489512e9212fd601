#include "repair/HostsFile.h"

#include "BuildConfig.h"
#include "fw/TextConversion.h"
#include "repair/HostsFilter.h"

#include <string>

namespace {

HostsWriteFn g_pfnHostsWrite = WriteFile;
HostsReplaceFn g_pfnHostsReplace = ReplaceFileW;

// A hosts file this large is not one; refuse it rather than run out of memory.
const DWORD MAX_HOSTS_SIZE = 64u << 20;

std::string HostsPath()
{
    wchar_t dir[MAX_PATH] = {};
    UINT n = GetSystemDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::string();
    return WideToPath(dir) + "\\drivers\\etc\\hosts";
}

bool ReadWholeFile(const std::string &path, std::string &data)
{
    // Other readers are welcome (an unshared open would fail beside any of them and hide a
    // redirection); writers are not, so nobody changes the file while it is read.
    HANDLE file = CreateFileW(PathToWide(path.c_str()).data(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // No hosts file redirects nothing; one that is there but closed to us is unknown.
        const DWORD error = GetLastError();
        data.clear();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    bool ok = false;
    LARGE_INTEGER size;
    if (GetFileSizeEx(file, &size) && size.QuadPart <= MAX_HOSTS_SIZE) {
        data.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        ok = data.empty() ||
             (ReadFile(file, &data[0], static_cast<DWORD>(data.size()), &got, nullptr) &&
              got == data.size());
    }
    CloseHandle(file);
    return ok;
}

// Writes the text to a new file beside the hosts file and swaps it in, so that a failure at
// any point leaves the original in place. ReplaceFile gives the new file the original's
// security and attributes; the original passes through a backup name so that a swap that
// fails halfway can put it back.
bool ReplaceWithText(const std::string &path, const std::string &text, DWORD attributes)
{
    const WideText target = PathToWide(path.c_str());
    const WideText dir = PathToWide(path.substr(0, path.find_last_of('\\')).c_str());
    wchar_t temp[MAX_PATH] = {};
    wchar_t backup[MAX_PATH] = {};
    if (dir.size() <= 1 || !GetTempFileNameW(dir.data(), L"hst", 0, temp))
        return false;
    if (!GetTempFileNameW(dir.data(), L"hsb", 0, backup)) {
        DeleteFileW(temp);
        return false;
    }
    bool ok = false;
    HANDLE file = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ok = text.empty() ||
             (g_pfnHostsWrite(file, text.data(), static_cast<DWORD>(text.size()), &written,
                              nullptr) &&
              written == text.size());
        ok = FlushFileBuffers(file) && ok;
        ok = CloseHandle(file) && ok;
    }
    bool keepBackup = false;
    if (ok) {
        ok = g_pfnHostsReplace(target.data(), temp, backup, REPLACEFILE_IGNORE_MERGE_ERRORS,
                               nullptr, nullptr) != FALSE;
        // The original was moved to the backup name but the new file did not take its place.
        if (!ok && GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 &&
            GetFileAttributesW(target.data()) == INVALID_FILE_ATTRIBUTES)
            keepBackup = !MoveFileExW(backup, target.data(), 0);
    }
    if (!ok)
        DeleteFileW(temp);
    else
        // Not every implementation of ReplaceFile carries the attributes over.
        SetFileAttributesW(target.data(), attributes);
    // Never delete the only copy of the original.
    if (!keepBackup)
        DeleteFileW(backup);
    return ok;
}

} // namespace

HostsWriteFn SetHostsWriteFn(HostsWriteFn pfnWrite)
{
    HostsWriteFn previous = g_pfnHostsWrite;
    g_pfnHostsWrite = pfnWrite ? pfnWrite : WriteFile;
    return previous;
}

HostsReplaceFn SetHostsReplaceFn(HostsReplaceFn pfnReplace)
{
    HostsReplaceFn previous = g_pfnHostsReplace;
    g_pfnHostsReplace = pfnReplace ? pfnReplace : ReplaceFileW;
    return previous;
}

namespace {

// Whether a rewrite may go ahead, and the attributes to give the new file.
bool CanRewrite(const std::string &path, DWORD *attributes)
{
    // A read-only hosts file is refused as an open for writing would be; checked here
    // because a swap of files would otherwise replace it regardless.
    const WideText wide = PathToWide(path.c_str());
    *attributes = GetFileAttributesW(wide.data());
    if (*attributes == INVALID_FILE_ATTRIBUTES || (*attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    // In use by another process: the rewrite would not be the only writer.
    HANDLE probe = CreateFileW(wide.data(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(probe);
    return true;
}

// What a repair would write, and where.
struct HostsRewrite {
    std::string path;
    HostsFilterResult filtered;
    DWORD attributes = 0;
};

// The steps the scan and the repair share, so that the scan reports exactly what the repair
// would do: reads the file, finds the lines to remove and checks that the file may be
// rewritten. Returns 0 when there is nothing to do, -1 when the file refuses the rewrite,
// 1 when the rewrite may go ahead (rewrite is filled in then).
int PlanRewrite(HostsRedirects *found, HostsRewrite *rewrite)
{
    if (found)
        *found = HostsRedirects();
    rewrite->path = HostsPath();
    std::string data;
    if (rewrite->path.empty() || !ReadWholeFile(rewrite->path, data))
        return 0;
    if (found)
        found->bReadable = true;
    rewrite->filtered =
        FilterHostsText(data.data(), data.size(), HALVEX_WEB_DOMAIN, found ? &found->lines : nullptr);
    if (rewrite->filtered.nRemoved == 0)
        return 0;
    return CanRewrite(rewrite->path, &rewrite->attributes) ? 1 : -1;
}

} // namespace

int RepairHostsFile(HostsRedirects *found)
{
    HostsRewrite rewrite;
    const int plan = PlanRewrite(found, &rewrite);
    if (plan != 1)
        return plan;
    return ReplaceWithText(rewrite.path, rewrite.filtered.strKept, rewrite.attributes) ? 1 : -1;
}

int FindHostsRedirects(HostsRedirects *found)
{
    HostsRewrite rewrite;
    return PlanRewrite(found, &rewrite);
}
