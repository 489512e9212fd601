#include "fw/AfxResource.h"

#include "fw/TextConversion.h"

namespace {
HINSTANCE g_hInstResource = nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    return ::GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle()
{
    return g_hInstResource ? g_hInstResource : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE hInstResource)
{
    g_hInstResource = hInstResource;
}

HRSRC AfxFindResource(HINSTANCE hInst, LPCSTR lpszName, LPCSTR lpszType)
{
    const WideText name = IS_INTRESOURCE(lpszName) ? WideText() : ToolToWide(lpszName);
    const WideText type = IS_INTRESOURCE(lpszType) ? WideText() : ToolToWide(lpszType);
    return ::FindResourceW(hInst,
                           IS_INTRESOURCE(lpszName) ? reinterpret_cast<LPCWSTR>(lpszName) : name.data(),
                           IS_INTRESOURCE(lpszType) ? reinterpret_cast<LPCWSTR>(lpszType) : type.data());
}

HINSTANCE AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType)
{
    HINSTANCE hInst = AfxGetResourceHandle();
    if (AfxFindResource(hInst, lpszName, lpszType))
        return hInst;
    HINSTANCE hExe = AfxGetInstanceHandle();
    if (hExe != hInst && AfxFindResource(hExe, lpszName, lpszType))
        return hExe;
    return hInst;
}
