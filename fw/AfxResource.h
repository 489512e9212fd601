// Where the program's instance and resources are.
#pragma once

#include <windows.h>

HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstResource);
// The module that holds the resource (name, type); the resource module when none does.
HINSTANCE AfxFindResourceHandle(LPCSTR lpszName, LPCSTR lpszType);
// FindResource for a name and type that are numbers or the tool's own (ASCII) names.
HRSRC AfxFindResource(HINSTANCE hInst, LPCSTR lpszName, LPCSTR lpszType);
