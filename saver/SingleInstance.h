// One running copy at a time, guarded by a named mutex. A copy that finds
// the mutex taken is told so, and the start-up code has it create its
// window unseen and end when its message loop starts.
#pragma once

#include <windows.h>

namespace lumidial {

inline constexpr char kInstanceMutexName[] = "Mervisk";

// The mutex this process created; nullptr when it holds none.
extern HANDLE InstanceMutex;

// False when another copy holds the guard: this one must give way. True
// when this copy holds it, or runs unguarded because the mutex could not be
// made at all.
bool AcquireInstance() noexcept;
void ReleaseInstance() noexcept;

// True in a copy that found another copy running: it must not touch the
// shared state the running copy relies on (the screen-saver flag, the
// pointer, the capture, the host's dialog).
bool LostInstanceGuard() noexcept;

}  // namespace lumidial
