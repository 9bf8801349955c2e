// The pixel density a window is shown at.
#pragma once

#include <windows.h>

namespace lumidial {

// The window's own density where the system can say (Windows 10 1607 and
// later, per monitor); else the screen's; 96 if neither answers.
int WindowDpi(HWND window) noexcept;

}  // namespace lumidial
