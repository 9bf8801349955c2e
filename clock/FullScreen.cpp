#include "FullScreen.h"

#include "Trace.h"

#include <algorithm>

namespace lumidial {

RECT PrimaryScreenRect() noexcept { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

void FillPrimaryMaxInfo(MINMAXINFO& info) noexcept {
    const RECT primary = PrimaryScreenRect();
    info.ptMaxPosition = {0, 0};
    info.ptMaxSize = {primary.right, primary.bottom};
    info.ptMaxTrackSize.x = std::max(info.ptMaxTrackSize.x, info.ptMaxSize.x);
    info.ptMaxTrackSize.y = std::max(info.ptMaxTrackSize.y, info.ptMaxSize.y);
}

void KeepOverPrimary(HWND window) noexcept {
    const RECT whole = PrimaryScreenRect();
    RECT now{};
    if (!GetWindowRect(window, &now) || EqualRect(&now, &whole)) return;
    if (!IsZoomed(window)) {
        SetWindowPos(window, nullptr, 0, 0, whole.right, whole.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement)) {
        TraceFailure(L"reading the clock window's placement", GetLastError());
        return;
    }
    placement.rcNormalPosition = whole;
    placement.showCmd = SW_SHOWNOACTIVATE;
    SetWindowPlacement(window, &placement);
    placement.showCmd = SW_SHOWMAXIMIZED;
    SetWindowPlacement(window, &placement);
}

}  // namespace lumidial
