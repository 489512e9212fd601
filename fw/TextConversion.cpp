#include "fw/TextConversion.h"

#include <climits>

WideText MultiByteToWide(const std::string &text, UINT codePage)
{
    WideText wide;
    if (!text.empty() && text.size() <= INT_MAX / 2) {
        const int size = static_cast<int>(text.size());
        const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
        if (length > 0) {
            wide.resize(static_cast<size_t>(length) + 1);
            MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
        }
    }
    if (wide.empty())
        wide.push_back(L'\0');
    return wide;
}

std::string WideToMultiByte(const wchar_t *text, int length, UINT codePage)
{
    if (!text || length == 0)
        return std::string();
    const int size = WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text, length, &narrow[0], size, nullptr, nullptr);
    // A length of -1 converts the terminating zero too.
    if (length < 0 && !narrow.empty() && narrow.back() == '\0')
        narrow.pop_back();
    return narrow;
}

std::string ToUtf8(const std::string &text, UINT codePage)
{
    const WideText wide = MultiByteToWide(text, codePage);
    return WideToMultiByte(wide.data(), static_cast<int>(wide.size() - 1), CP_UTF8);
}

std::string FromUtf8(const std::string &utf8, UINT codePage)
{
    const WideText wide = MultiByteToWide(utf8, CP_UTF8);
    return WideToMultiByte(wide.data(), static_cast<int>(wide.size() - 1), codePage);
}

WideText ToolToWide(const char *text)
{
    return MultiByteToWide(text ? std::string(text) : std::string(), TOOL_CODE_PAGE);
}

WideText ToolToWide(const char *text, int length)
{
    if (!text || length <= 0)
        return MultiByteToWide(std::string(), TOOL_CODE_PAGE);
    return MultiByteToWide(std::string(text, static_cast<size_t>(length)), TOOL_CODE_PAGE);
}

std::string WideToTool(const wchar_t *text, int length)
{
    return WideToMultiByte(text, length, TOOL_CODE_PAGE);
}

WideText PathToWide(const char *path)
{
    return MultiByteToWide(path ? std::string(path) : std::string(), CP_UTF8);
}

std::string WideToPath(const wchar_t *path, int length)
{
    return WideToMultiByte(path, length, CP_UTF8);
}
