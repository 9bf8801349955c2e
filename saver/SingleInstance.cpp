#include "SingleInstance.h"

#include "Trace.h"

namespace lumidial {

HANDLE InstanceMutex = nullptr;

namespace {

bool lostGuard = false;

}  // namespace

bool AcquireInstance() noexcept {
    if (HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kInstanceMutexName)) {
        // Our handle would only keep the other copy's mutex alive after it
        // ends, so it goes at once.
        CloseHandle(existing);
        lostGuard = true;
        return false;
    }
    // Two copies started together can both find no mutex to open; the one
    // whose creation finds it already made gives way. A mutex that exists
    // but grants us no access (neither open nor create can have it) was
    // made by a copy with other rights, started elevated say: it holds the
    // guard all the same.
    HANDLE created = CreateMutexA(nullptr, FALSE, kInstanceMutexName);
    const DWORD error = GetLastError();
    if (created ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED) {
        if (created) CloseHandle(created);
        lostGuard = true;
        return false;
    }
    // Any other failure: this copy runs unguarded rather than not at all.
    if (!created) TraceFailure(L"creating the single-instance mutex", error);
    InstanceMutex = created;
    return true;
}

void ReleaseInstance() noexcept {
    if (InstanceMutex) {
        CloseHandle(InstanceMutex);
        InstanceMutex = nullptr;
    }
}

bool LostInstanceGuard() noexcept { return lostGuard; }

}  // namespace lumidial
