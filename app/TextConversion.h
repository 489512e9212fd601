// Conversions between the tool's narrow texts and UTF-8/UTF-16. The tool's own texts are GBK
// (code page 936, whatever the system's); strings from the system (registry values, file
// contents, paths) are in the system's ANSI code page.
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
