#include "Units.h"

#include "Application.h"
#include "SingleInstance.h"

namespace lumidial {

namespace {
bool initialized = false;
}

// Halt, from inside a window, runs the clean-up too.
void InitializeUnits() {
    initialized = true;
    SetHaltCleanup(&FinalizeUnits);
    // A copy that finds another running shows nothing, and ends when its
    // message loop starts.
    if (!AcquireInstance()) {
        Application->ShowMainForm = false;
        Application->Terminate();
    }
}

// Safe to reach twice (Halt from inside a window, then the normal exit path
// is never taken; or the normal path alone).
void FinalizeUnits() noexcept {
    if (!initialized) return;
    initialized = false;
    ReleaseInstance();
}

}  // namespace lumidial
