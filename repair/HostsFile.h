// Removes hosts-file lines that redirect the product's web domain.
#pragma once

#include <windows.h>

// 0: no line redirects the domain, or the hosts file cannot be read;
// 1: lines were removed and the file was rewritten;
// -1: lines redirect the domain but the file cannot be rewritten (read-only, in use, or a
//     failed write); the file is left exactly as it was.
int RepairHostsFile();

// The routine that writes the rewritten text; tests put in one that fails halfway.
typedef BOOL(WINAPI *HostsWriteFn)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
HostsWriteFn SetHostsWriteFn(HostsWriteFn pfnWrite);

// The routine that swaps the rewritten file in; tests put in one that fails halfway.
typedef BOOL(WINAPI *HostsReplaceFn)(LPCSTR, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID);
HostsReplaceFn SetHostsReplaceFn(HostsReplaceFn pfnReplace);
