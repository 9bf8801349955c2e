#include "SingleInstance.h"

#include "Application.h"
#include "Trace.h"

namespace lumidial {

HANDLE InstanceMutex = nullptr;

namespace {

bool lostGuard = false;

// Another copy runs: this one shows nothing and ends when its message loop
// starts.
void GiveWay() noexcept {
    lostGuard = true;
    if (Application) {
        Application->ShowMainForm = false;
        Application->Terminate();
    }
}

}  // namespace

// A mutex that exists but grants us no access was made by a copy with
// other rights (started elevated, say): it holds the guard all the same.
void AcquireInstance() {
    if (HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kInstanceMutexName)) {
        // Our handle would only keep the other copy's mutex alive after it
        // ends, so it goes at once.
        CloseHandle(existing);
        GiveWay();
        return;
    }
    const DWORD openError = GetLastError();
    if (openError == ERROR_ACCESS_DENIED) {
        GiveWay();
        return;
    }
    if (openError != ERROR_FILE_NOT_FOUND) TraceFailure(L"opening the single-instance mutex", openError);
    // Two copies started together can both find no mutex to open; the one
    // whose creation finds it already made gives way.
    HANDLE created = CreateMutexA(nullptr, FALSE, kInstanceMutexName);
    const DWORD createError = GetLastError();
    if ((created && createError == ERROR_ALREADY_EXISTS) || (!created && createError == ERROR_ACCESS_DENIED)) {
        if (created) CloseHandle(created);
        GiveWay();
        return;
    }
    // Any other failure: this copy runs unguarded rather than not at all.
    if (!created) TraceFailure(L"creating the single-instance mutex", createError);
    InstanceMutex = created;
}

void ReleaseInstance() noexcept {
    if (InstanceMutex) {
        CloseHandle(InstanceMutex);
        InstanceMutex = nullptr;
    }
}

bool LostInstanceGuard() noexcept { return lostGuard; }

}  // namespace lumidial
