// The pixel density a window is shown at.
#pragma once

#include <windows.h>

namespace lumidial {

// One of this process's windows: its own density where the system can say
// (Windows 10 1607 and later, per monitor); else the screen's; 96 if
// neither answers.
int WindowDpi(HWND window) noexcept;

// Another process's window, which that process draws at its own density: a
// program aware of each monitor's density draws at its monitor's, any other
// as its window says.
int ForeignWindowDpi(HWND window) noexcept;

}  // namespace lumidial
