#include "app/RunLock.h"

#include <aclapi.h>
#include <sddl.h>

const wchar_t CRunLock::NAME[] = L"Global\\HalvexFix.Run.7E1C4B52";

namespace {

// Owner Administrators; only SYSTEM and Administrators may open it.
const wchar_t LOCK_SECURITY[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";

// Only an elevated process (or the system) can give an object one of these owners. An
// object without any owner cannot be made on Windows; Wine makes them by default.
bool TrustedOwner(HANDLE object)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, &sd) != ERROR_SUCCESS)
        return false;
    const bool trusted = !owner || IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                         IsWellKnownSid(owner, WinLocalSystemSid);
    LocalFree(sd);
    return trusted;
}

} // namespace

CRunLock::~CRunLock()
{
    if (m_bOwned)
        ReleaseMutex(m_hMutex);
    if (m_hMutex)
        CloseHandle(m_hMutex);
}

RunLockResult CRunLock::Acquire()
{
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(LOCK_SECURITY, SDDL_REVISION_1, &sd, nullptr))
        sd = nullptr;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), sd, FALSE};
    m_hMutex = CreateMutexW(sd ? &sa : nullptr, TRUE, NAME);
    const DWORD error = GetLastError();
    if (!m_hMutex && sd && error == ERROR_INVALID_OWNER) {
        // Not elevated after all: the owner cannot be set, the DACL still can.
        LocalFree(sd);
        sd = nullptr;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1,
                                                                 &sd, nullptr))
            sa.lpSecurityDescriptor = sd;
        m_hMutex = CreateMutexW(sd ? &sa : nullptr, TRUE, NAME);
    }
    const DWORD created = GetLastError();
    if (sd)
        LocalFree(sd);
    if (!m_hMutex)
        return RUNLOCK_FOREIGN;   // the name exists and refuses us
    if (created != ERROR_ALREADY_EXISTS) {
        m_bOwned = true;
        return RUNLOCK_ACQUIRED;
    }
    if (!TrustedOwner(m_hMutex)) {
        CloseHandle(m_hMutex);
        m_hMutex = nullptr;
        return RUNLOCK_FOREIGN;
    }
    // It exists; a run holds it unless its holder has just let go.
    const DWORD wait = WaitForSingleObject(m_hMutex, 0);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
        m_bOwned = true;
        return RUNLOCK_ACQUIRED;
    }
    CloseHandle(m_hMutex);
    m_hMutex = nullptr;
    return RUNLOCK_BUSY;
}
