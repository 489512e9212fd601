#include "tests/support/HostsFileBackup.h"

#include "tests/support/FileContents.h"

CHostsFileBackup::CHostsFileBackup() : m_bExisted(false), m_nAttributes(FILE_ATTRIBUTE_NORMAL)
{
    DWORD attributes = GetFileAttributesA(Path().c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    m_bExisted = Read(m_strContent);
    m_nAttributes = attributes;
}

CHostsFileBackup::~CHostsFileBackup()
{
    Restore();
}

std::string CHostsFileBackup::Path()
{
    char dir[MAX_PATH] = {};
    UINT n = GetSystemDirectoryA(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::string();
    return std::string(dir) + "\\drivers\\etc\\hosts";
}

bool CHostsFileBackup::Read(std::string &content)
{
    return ReadFileBytes(Path(), content);
}

bool CHostsFileBackup::Write(const std::string &content, DWORD attributes)
{
    const std::string path = Path();
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = content.empty() ||
              (WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
               written == content.size());
    ok = CloseHandle(file) && ok;
    return SetFileAttributesA(path.c_str(), attributes) && ok;
}

void CHostsFileBackup::Restore()
{
    if (m_bExisted) {
        Write(m_strContent, m_nAttributes);
    } else {
        SetFileAttributesA(Path().c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(Path().c_str());
    }
}
