// Finds and closes, inside every process, the open file handles whose name contains a
// fragment (the product's executable held open to keep it from starting or repair).
#pragma once

#include <windows.h>

#include <vector>

// 0: held open by another process; 1: free; 2: null name or cannot be opened at all.
// fileName is a file in the install directory.
int TestFileLock(const char *fileName);

// True when the handle table was read and walked, whether or not a handle matched.
bool ReleaseLockedFile(const char *nameFragment);

struct ReleaseStats
{
    unsigned FileHandles; // entries of the file type in the table
    unsigned Queried;     // duplicated and asked for their name
    unsigned Closed;      // matched and closed in their owning process
    unsigned Abandoned;   // name queries given up after 50 ms
};
// owners, when given, receives the ids of the processes that held a matching handle.
bool ReleaseLockedFile(const char *nameFragment, ReleaseStats *stats,
                       std::vector<DWORD> *owners = nullptr);

// The same walk and the same matching, closing nothing: owners receives the ids of the
// processes whose handles a release would close. True when the table was walked.
bool FindLockedFileHolders(const char *nameFragment, std::vector<DWORD> *owners);

// The handle table of the given class (16 or 64) in a process-heap block, or null.
// The caller frees it with HeapFree(GetProcessHeap(), 0, block); HeapSize gives its size.
void *QuerySystemInformation(ULONG infoClass);

// The object type number of file handles on this system, or 0.
UINT GetFileObjectType();

// Fills name (260 bytes) with the handle's file name, without drive; empty when the
// query fails or takes longer than 50 ms. Leaves name untouched for a null handle.
void QueryHandleFileName(HANDLE handle, char *name);

// Test seams: replace the native queries (null restores the system's).
typedef LONG(NTAPI *NtQuerySystemInformationFn)(ULONG, PVOID, ULONG, PULONG);
typedef LONG(NTAPI *NtQueryInformationFileFn)(HANDLE, PVOID, PVOID, ULONG, ULONG);
void SetNativeQueriesForTesting(NtQuerySystemInformationFn systemQuery, NtQueryInformationFileFn fileQuery);
