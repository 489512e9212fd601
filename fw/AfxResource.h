// Where the program's instance and resources are.
#pragma once

#include <windows.h>

HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstResource);
// The module that holds the resource (name, type); the resource module when none does.
HINSTANCE AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType);
