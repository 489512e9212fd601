// Removes hosts-file lines that redirect the product's web domain.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What the hosts file holds for the product's web domain.
struct HostsRedirects {
    bool bReadable = false;   // read, or absent (an absent file redirects nothing)
    std::vector<std::string> lines;   // the lines a repair removes, without line ends
};

// 0: no line redirects the domain, or the hosts file cannot be read (found->bReadable tells
//    which);
// 1: lines were removed and the file was rewritten;
// -1: lines redirect the domain but the file cannot be rewritten (read-only, in use, or a
//     failed write); the file is left exactly as it was.
// found, when given, receives what the file held before the repair.
int RepairHostsFile(HostsRedirects *found = nullptr);

// What RepairHostsFile would return, found without writing anything: 1 when it would
// rewrite the file, -1 when the file would refuse the rewrite, 0 when there is nothing to do.
int FindHostsRedirects(HostsRedirects *found);

// The routine that writes the rewritten text; tests put in one that fails halfway.
typedef BOOL(WINAPI *HostsWriteFn)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
HostsWriteFn SetHostsWriteFn(HostsWriteFn pfnWrite);

// The routine that swaps the rewritten file in; tests put in one that fails halfway.
typedef BOOL(WINAPI *HostsReplaceFn)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID);
HostsReplaceFn SetHostsReplaceFn(HostsReplaceFn pfnReplace);
