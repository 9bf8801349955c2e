#include "SingleInstance.h"

#include "Application.h"

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

void AcquireInstance() {
    if (HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kInstanceMutexName)) {
        // Our handle would only keep the other copy's mutex alive after it
        // ends, so it goes at once.
        CloseHandle(existing);
        GiveWay();
        return;
    }
    // Two copies started together can both find no mutex to open; the one
    // whose creation finds it already made gives way.
    HANDLE created = CreateMutexA(nullptr, FALSE, kInstanceMutexName);
    if (created && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(created);
        GiveWay();
        return;
    }
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
