#include "tests/support/Utf8Paths.h"

#include <windows.h>

std::wstring WidePath(const std::string &utf8)
{
    if (utf8.empty())
        return std::wstring();
    std::wstring wide(utf8.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0],
                                      static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return wide;
}

std::string Utf8Path(const std::wstring &wide)
{
    if (wide.empty())
        return std::string();
    std::string utf8(wide.size() * 3, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0],
                                      static_cast<int>(utf8.size()), nullptr, nullptr);
    utf8.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return utf8;
}
