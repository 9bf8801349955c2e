// What the screen-saver host asked for, and the calls into the platform's
// password providers.
#pragma once

#include <windows.h>

#include "CommandLine.h"

namespace lumidial {

// Written once by ParseCommandLine; read by the start-up code and the windows.
extern TScreenSaverMode ScreenSaverMode;
// The window handle from the command line; nullptr when none was given or it
// did not parse.
extern HWND ParentHandle;

// Sets ScreenSaverMode and ParentHandle from the process command line. In
// set-password mode it hands over to ChangePassword and never returns.
void ParseCommandLine();

// True when the saver may close: no screen-saver password in force, no
// verifier to ask, or the verifier said yes.
bool VerifyPassword(HWND window) noexcept;

// Hands the password change to the platform's provider, reports a failure in
// an error box, and ends the process.
[[noreturn]] void ChangePassword(const ParsedCommandLine& parsed) noexcept;

// Window handles travel as 32-bit integers, sign-extended like the system's.
HWND HandleFromInt32(std::int32_t value) noexcept;

}  // namespace lumidial
