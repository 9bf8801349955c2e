// Failures the program survives by design (a picture that could not be
// drawn, a setting of the wrong type, a monitor list that could not be read)
// leave one line in the debug output, so that a report of "the clock stayed
// blank" can be looked into; nothing is shown to the user. The lines read
// "Lumidial: <what failed>[: <why>][ (error <code>)]". A debug-output viewer
// shows them on Windows; Wine 8 prints them on standard error with
// WINEDEBUG=warn+seh (as "warn:seh:OutputDebugStringA").
#pragma once

#include <windows.h>

namespace lumidial {

// With the system's error code, as GetLastError or a status gave it.
void TraceFailure(const wchar_t* what, DWORD error) noexcept;
// Without one.
void TraceFailure(const wchar_t* what) noexcept;
// Inside a catch block: the error being handled, by its message.
void TraceCaught(const wchar_t* what) noexcept;

}  // namespace lumidial
