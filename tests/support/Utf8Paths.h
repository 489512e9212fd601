// Paths in the tests are UTF-8, as in the tool: a folder named in Chinese survives on a
// system of any code page. The W calls get them as UTF-16.
#pragma once

#include <string>

std::wstring WidePath(const std::string &utf8);
std::string Utf8Path(const std::wstring &wide);
