// One run of the tool at a time on a machine: a named mutex in the global namespace, held
// for the whole run.
//
// The mutex is created with an owner of BUILTIN\Administrators and a protected DACL that
// lets only SYSTEM and Administrators open it, so an unprivileged process can neither wait
// on it, hold it, nor change its security while a run holds it. An unprivileged process
// can still create the name first (mutexes need no privilege in the global namespace). A
// name held by such an object is not trusted: its owner is neither Administrators nor
// SYSTEM (which only an elevated process can set), or it refuses us access. The run then
// goes ahead without the lock, since a squatter must not be able to keep the repair away,
// and says so in its report.
#pragma once

#include <windows.h>

enum RunLockResult {
    RUNLOCK_ACQUIRED,   // this run holds the machine
    RUNLOCK_BUSY,       // another run of the tool holds it
    RUNLOCK_FOREIGN,    // the name is taken by an object the tool did not make; run without
};

class CRunLock {
public:
    CRunLock() = default;
    ~CRunLock();
    CRunLock(const CRunLock &) = delete;
    CRunLock &operator=(const CRunLock &) = delete;

    RunLockResult Acquire();

    static const wchar_t NAME[];

private:
    HANDLE m_hMutex = nullptr;
    bool m_bOwned = false;
};
