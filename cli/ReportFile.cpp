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

} // namespace

CReportFile::~CReportFile()
{
    if (!m_temp.empty())
        DeleteFileW(m_temp.data());
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
    // GetTempFileName takes folders of up to MAX_PATH - 14 characters.
    wchar_t temp[MAX_PATH] = {};
    const bool made = folder.size() <= MAX_PATH - 14 && GetTempFileNameW(folder.data(), L"hxr", 0, temp);
    if (!made) {
        const DWORD code = GetLastError();
        *error = Sentence(u8"无法在报告文件夹中创建文件：", Utf8(folder.data()),
                          folder.size() > MAX_PATH - 14 ? std::string(u8"（路径太长）") : SystemMessage(code));
        return false;
    }
    m_temp.assign(temp, temp + lstrlenW(temp) + 1);
    return true;
}

bool CReportFile::Commit(const std::string &text, std::string *error)
{
    if (m_temp.empty()) {
        *error = Sentence(u8"报告文件未准备好", std::string());
        return false;
    }
    HANDLE file = CreateFileW(m_temp.data(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = file != INVALID_HANDLE_VALUE;
    if (ok) {
        DWORD written = 0;
        ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
             written == text.size();
        ok = FlushFileBuffers(file) && ok;
        ok = CloseHandle(file) && ok;
    }
    ok = ok && MoveFileExW(m_temp.data(), m_path.data(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        const DWORD code = GetLastError();
        *error = Sentence(u8"无法写入报告：", Path(), SystemMessage(code));
        DeleteFileW(m_temp.data());
    }
    m_temp.clear();
    return ok;
}
