// Test-only library: every thread that starts in a process that loaded it first sleeps in
// this library's thread-attach handler, as threads start on a loaded machine.
#include <windows.h>

namespace {
volatile LONG g_nDelayMs = 0;
}

extern "C" __declspec(dllexport) void WINAPI SetThreadStartDelay(DWORD ms)
{
    InterlockedExchange(&g_nDelayMs, static_cast<LONG>(ms));
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_THREAD_ATTACH && g_nDelayMs > 0)
        Sleep(static_cast<DWORD>(g_nDelayMs));
    return TRUE;
}
