#include "tests/markup/XPointer.h"

#include <string>

namespace {

const char XDOTOOL[] = "/usr/bin/xdotool";
const char XDOTOOL_DOS[] = "Z:\\usr\\bin\\xdotool";

// Wine cannot wait for a Unix process: the caller watches for the effect instead.
bool Run(const std::string &args)
{
    std::string cmd = std::string(XDOTOOL) + " " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return true;
}

bool WaitForPointer(int x, int y)
{
    for (int i = 0; i < 300; ++i) {
        POINT pt = {};
        if (::GetCursorPos(&pt) && pt.x == x && pt.y == y)
            return true;
        ::Sleep(10);
    }
    return false;
}

} // namespace

bool XPointerAvailable()
{
    return ::GetFileAttributesA(XDOTOOL_DOS) != INVALID_FILE_ATTRIBUTES;
}

bool MovePointer(int x, int y)
{
    return Run("mousemove " + std::to_string(x) + " " + std::to_string(y)) && WaitForPointer(x, y);
}

bool ClickAt(int x, int y)
{
    // Moved first and seen there, so the press lands on that point.
    return MovePointer(x, y) && Run("click 1");
}
