#include "fw/AfxResource.h"

namespace {
HINSTANCE g_hInstResource = nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    return ::GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle()
{
    return g_hInstResource ? g_hInstResource : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE hInstResource)
{
    g_hInstResource = hInstResource;
}

HINSTANCE AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType)
{
    HINSTANCE hInst = AfxGetResourceHandle();
    if (::FindResourceA(hInst, lpszName, lpszType))
        return hInst;
    HINSTANCE hExe = AfxGetInstanceHandle();
    if (hExe != hInst && ::FindResourceA(hExe, lpszName, lpszType))
        return hExe;
    return hInst;
}
