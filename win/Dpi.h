// The pixel density a window is shown at.
#pragma once

#include <windows.h>

#include "ScopedWin.h"

namespace lumidial {

// One of this process's windows: its own density where the system can say
// (Windows 10 1607 and later, per monitor); else the screen's; 96 if
// neither answers.
int WindowDpi(HWND window) noexcept;

// Another process's window, which that process draws at its own density: a
// program aware of each monitor's density draws at its monitor's, any other
// as its window says.
int ForeignWindowDpi(HWND window) noexcept;

// The density of each monitor (shcore's GetDpiForMonitor, Windows 8.1 and
// later), for reading many monitors often: the library stays loaded while
// this lives. Where the system cannot say, the screen's density.
class TMonitorDensity {
public:
    TMonitorDensity() noexcept;
    int Of(HMONITOR monitor) const noexcept;

private:
    using GetDpiForMonitorProc = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    UniqueLibrary shcore_;
    GetDpiForMonitorProc proc_ = nullptr;
};

}  // namespace lumidial
