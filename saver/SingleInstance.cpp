#include "SingleInstance.h"

#include "Application.h"

namespace lumidial {

HANDLE InstanceMutex = nullptr;

namespace {
bool lostGuard = false;
}

void AcquireInstance() {
    if (HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kInstanceMutexName)) {
        // Another copy runs. Our handle would only keep its mutex alive
        // after it ends, so it goes at once.
        CloseHandle(existing);
        lostGuard = true;
        if (Application) {
            Application->ShowMainForm = false;
            Application->Terminate();
        }
        return;
    }
    InstanceMutex = CreateMutexA(nullptr, FALSE, kInstanceMutexName);
}

void ReleaseInstance() noexcept {
    if (InstanceMutex) {
        CloseHandle(InstanceMutex);
        InstanceMutex = nullptr;
    }
}

bool LostInstanceGuard() noexcept { return lostGuard; }

}  // namespace lumidial
