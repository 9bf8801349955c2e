#include "Units.h"

#include "SingleInstance.h"

namespace lumidial {

namespace {
bool initialized = false;
}

void InitializeUnits() {
    initialized = true;
    AcquireInstance();
}

// Safe to reach twice (Halt from inside a window, then the normal exit path
// is never taken; or the normal path alone).
void FinalizeUnits() noexcept {
    if (!initialized) return;
    initialized = false;
    ReleaseInstance();
}

}  // namespace lumidial
