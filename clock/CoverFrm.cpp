#include "CoverFrm.h"

#include "FullScreen.h"
#include "Trace.h"

#include <windowsx.h>

#include <algorithm>

namespace lumidial {

TCoverForm::TCoverForm(HWND owner, const ScreenRect& monitor) {
    WNDCLASSEXW wc{};
    wc.hCursor = nullptr;  // no pointer over the saver
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    // A tool window owned by the program's hidden window: no task-bar button
    // and no place in Alt+Tab.
    CreateHandle(L"TCoverForm", wc, WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, WS_POPUP,
                 L"", monitor.left, monitor.top, monitor.right - monitor.left,
                 monitor.bottom - monitor.top, owner);
}

void TCoverForm::Cover(const ScreenRect& monitor, HWND above) noexcept {
    SetWindowPos(Handle(), above ? above : HWND_TOPMOST, monitor.left, monitor.top,
                 monitor.right - monitor.left, monitor.bottom - monitor.top,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

LRESULT TCoverForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            SetCursor(nullptr);
            return TRUE;
        }
        break;
    case WM_MOUSEMOVE:
        if (Events.onMouseMove) Events.onMouseMove(Handle(), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONUP:
        // As everywhere in the saver: the left button's release ends any
        // mouse capture.
        ReleaseCapture();
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (Events.onKeyDown) Events.onKeyDown();
        return 0;
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
        return 0;  // no menu mode
    case WM_DPICHANGED:
        return 0;  // the monitor's pixels, whatever its density
    case WM_CLOSE:
        return 0;  // goes with the clock window, never alone
    default:
        break;
    }
    return DefaultHandler(message, wParam, lParam);
}

TMonitorCovers::DeskLayout TMonitorCovers::CurrentMonitors() {
    DeskLayout layout;
    const RECT primary = PrimaryScreenRect();
    layout.primary = {primary.left, primary.top, primary.right, primary.bottom};
    const BOOL listed = EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR, HDC, LPRECT rect, LPARAM list) noexcept -> BOOL {
            try {
                reinterpret_cast<std::vector<ScreenRect>*>(list)->push_back(
                    {rect->left, rect->top, rect->right, rect->bottom});
                return TRUE;
            } catch (...) {
                return FALSE;
            }
        },
        reinterpret_cast<LPARAM>(&layout.monitors));
    // What was listed is covered; the next look lists them again.
    if (!listed) TraceFailure(L"listing the monitors", GetLastError());
    return layout;
}

// Covers reuse their windows where they can: a window moved is less
// disturbance than one destroyed and made anew. The layout counts as
// covered only once every window is in place, so a failure is retried.
void TMonitorCovers::Cover(DeskLayout layout) {
    const std::vector<ScreenRect> rects = CoverRects(layout.monitors, layout.primary);
    covers_.resize(std::min(covers_.size(), rects.size()));
    for (size_t i = 0; i < rects.size(); ++i) {
        if (i == covers_.size()) {
            auto cover = std::make_unique<TCoverForm>(owner_, rects[i]);
            cover->Events = events_;
            covers_.push_back(std::move(cover));
        }
        // Below the clock window, so that a monitor overlapping the primary
        // in part never hides the clock.
        covers_[i]->Cover(rects[i], clock_);
    }
    monitors_ = std::move(layout);
}

bool TMonitorCovers::Follow() {
    DeskLayout now = CurrentMonitors();
    if (now == monitors_) return false;
    const bool first = monitors_.monitors.empty();
    Cover(std::move(now));
    return !first;
}

}  // namespace lumidial
