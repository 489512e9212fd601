#include "cli/ReportFile.h"

namespace {

std::string Utf8(const wchar_t *text)
{
    return WideToMultiByte(text, -1, CP_UTF8);
}

std::string SystemMessage(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::string message = length ? WideToMultiByte(text, static_cast<int>(length), CP_UTF8) : std::string();
    if (text)
        LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message + u8"（错误 " + std::to_string(error) + u8"）";
}

// A sentence for the user: what went wrong, about what, and why.
std::string Sentence(const char *what, const std::string &subject, const std::string &why = std::string())
{
    std::string s(what);
    s += subject;
    if (!why.empty())
        s += " " + why;
    s += "\r\n";
    return s;
}

// The path with a prefix that lifts the length limit: "\\?\" for Win32 calls, "\??\" for the
// system's own names. A UNC path "\\server\share" becomes "<prefix>UNC\server\share".
WideText Prefixed(const WideText &path, const wchar_t *prefix)
{
    const wchar_t *p = path.data();
    WideText out(prefix, prefix + lstrlenW(prefix));
    if (p[0] == L'\\' && p[1] == L'\\' && (p[2] == L'?' || p[2] == L'.') && p[3] == L'\\')
        p += 4;   // already in a prefixed form
    else if (p[0] == L'\\' && p[1] == L'\\') {
        const wchar_t unc[] = L"UNC";
        out.insert(out.end(), unc, unc + 3);
        p += 1;
    }
    out.insert(out.end(), p, p + lstrlenW(p) + 1);
    return out;
}

// A name no other file in the folder has: made with CREATE_NEW, so an existing file or link
// of that name is never opened. Held with no sharing, so nobody can swap, rename, delete or
// write it until the report has become it.
HANDLE CreateTempFile(const WideText &folder, DWORD *error)
{
    const WideText longFolder = Prefixed(folder, L"\\\\?\\");
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 1664525u + 1013904223u;
        wchar_t name[32];
        wsprintfW(name, L"\\hxr%08lx.tmp", static_cast<unsigned long>(seed));
        WideText path(longFolder.begin(), longFolder.end() - 1);
        if (!path.empty() && path.back() == L'\\')
            path.pop_back();
        path.insert(path.end(), name, name + lstrlenW(name) + 1);
        HANDLE file = CreateFileW(path.data(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            return file;
        *error = GetLastError();
        if (*error != ERROR_FILE_EXISTS && *error != ERROR_ALREADY_EXISTS)
            break;
    }
    return INVALID_HANDLE_VALUE;
}

} // namespace

CReportFile::~CReportFile()
{
    Discard();
}

// Deletes the temp file through its handle, never by name.
void CReportFile::Discard()
{
    if (m_hTemp == INVALID_HANDLE_VALUE)
        return;
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    SetFileInformationByHandle(m_hTemp, FileDispositionInfo, &disposition, sizeof(disposition));
    CloseHandle(m_hTemp);
    m_hTemp = INVALID_HANDLE_VALUE;
}

std::string CReportFile::Path() const
{
    return m_path.empty() ? std::string() : Utf8(m_path.data());
}

bool CReportFile::Prepare(const std::string &utf8Path, std::string *error)
{
    const WideText given = MultiByteToWide(utf8Path, CP_UTF8);
    const DWORD needed = given[0] ? GetFullPathNameW(given.data(), 0, nullptr, nullptr) : 0;
    WideText full(needed + 1);
    const DWORD length = needed ? GetFullPathNameW(given.data(), needed + 1, full.data(), nullptr) : 0;
    if (length == 0 || length > needed) {
        *error = Sentence(u8"报告文件名无效：", utf8Path);
        return false;
    }
    m_path.assign(full.begin(), full.begin() + length);
    m_path.push_back(L'\0');
    size_t slash = length;
    while (slash > 0 && m_path[slash - 1] != L'\\')
        --slash;
    if (slash == 0 || slash == length) {
        *error = Sentence(u8"报告文件名无效：", Path());
        return false;
    }
    // The folder, without its last backslash unless it is a drive's root ("C:\").
    WideText folder(m_path.begin(), m_path.begin() + (slash == 3 ? slash : slash - 1));
    folder.push_back(L'\0');
    const DWORD folderAttributes = GetFileAttributesW(folder.data());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *error = Sentence(u8"报告文件夹不存在：", Utf8(folder.data()));
        return false;
    }
    const DWORD targetAttributes = GetFileAttributesW(m_path.data());
    if (targetAttributes != INVALID_FILE_ATTRIBUTES &&
        (targetAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
        *error = Sentence(targetAttributes & FILE_ATTRIBUTE_DIRECTORY ? u8"报告路径是一个文件夹："
                                                                      : u8"报告文件是只读的：",
                          Path());
        return false;
    }
    // The report is a file every program must be able to open by its plain name; the temp
    // file is made with a prefixed path, so its longer name cannot fail where this fits.
    if (length >= MAX_PATH && !(m_path[0] == L'\\' && m_path[1] == L'\\' && m_path[2] == L'?')) {
        *error = Sentence(u8"报告路径太长：", Path(), u8"（最多 " + std::to_string(MAX_PATH - 1) + u8" 个字符）");
        return false;
    }
    m_ntPath = Prefixed(m_path, L"\\??\\");
    DWORD code = 0;
    m_hTemp = CreateTempFile(folder, &code);
    if (m_hTemp == INVALID_HANDLE_VALUE) {
        *error = Sentence(u8"无法在报告文件夹中创建文件：", Utf8(folder.data()), SystemMessage(code));
        return false;
    }
    return true;
}

bool CReportFile::Commit(const std::string &text, std::string *error)
{
    if (m_hTemp == INVALID_HANDLE_VALUE) {
        *error = Sentence(u8"报告文件未准备好", std::string());
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(m_hTemp, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
              written == text.size();
    ok = ok && FlushFileBuffers(m_hTemp);
    // Some systems replace a read-only file on a rename; the report never does.
    const DWORD targetAttributes = GetFileAttributesW(m_path.data());
    if (ok && targetAttributes != INVALID_FILE_ATTRIBUTES &&
        (targetAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
        SetLastError(ERROR_ACCESS_DENIED);
        ok = false;
    }
    if (ok) {
        // The temp file becomes the report through the handle that wrote it.
        const DWORD nameBytes = static_cast<DWORD>((m_ntPath.size() - 1) * sizeof(wchar_t));
        std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
        FILE_RENAME_INFO *rename = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
        rename->ReplaceIfExists = TRUE;
        rename->RootDirectory = nullptr;
        rename->FileNameLength = nameBytes;
        memcpy(rename->FileName, m_ntPath.data(), nameBytes);
        ok = SetFileInformationByHandle(m_hTemp, FileRenameInfo, rename, static_cast<DWORD>(buffer.size()));
    }
    if (!ok) {
        const DWORD code = GetLastError();
        *error = Sentence(u8"无法写入报告：", Path(), SystemMessage(code));
        Discard();
        return false;
    }
    CloseHandle(m_hTemp);
    m_hTemp = INVALID_HANDLE_VALUE;
    return true;
}
