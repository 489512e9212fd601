// The one place where text changes encoding on its way to and from the system.
// - The tool's own texts (CString, markup, result lines, messages) are GBK, code page 936,
//   whatever the system's code page: they go to the system as UTF-16 (ToolToWide) and come
//   back from it the same way (WideToTool).
// - Paths are UTF-8 inside the tool, so that no character of a folder name is lost on any
//   system code page: PathToWide and WideToPath at the W calls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

const UINT TOOL_CODE_PAGE = 936;

// UTF-16 text with a terminating zero, so that data() is a C string. (A vector rather than
// std::wstring: the library's wide-string instantiation would add 35 KiB to the exe.)
typedef std::vector<wchar_t> WideText;

WideText MultiByteToWide(const std::string &text, UINT codePage);
// length -1: up to the terminating zero.
std::string WideToMultiByte(const wchar_t *text, int length, UINT codePage);

// codePage text to UTF-8; bytes the code page does not know are replaced.
std::string ToUtf8(const std::string &text, UINT codePage);
// UTF-8 text to codePage; characters the code page lacks are replaced.
std::string FromUtf8(const std::string &utf8, UINT codePage);

// The tool's own GBK text; a null pointer gives an empty text.
WideText ToolToWide(const char *text);
WideText ToolToWide(const char *text, int length);
std::string WideToTool(const wchar_t *text, int length = -1);

// A UTF-8 path; a null pointer gives an empty path.
WideText PathToWide(const char *path);
std::string WideToPath(const wchar_t *path, int length = -1);
