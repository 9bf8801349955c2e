#include "CoverFrm.h"

#include "Application.h"
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

void TCoverForm::FitClock(const DisplayMonitor& monitor, int size, const ColourTable& colours,
                          const std::optional<ClockTime>& time) {
    const ScreenRect& r = monitor.rect;
    if (clock_ && monitor == clockMonitor_) return;
    const ClockPlacement placement = PlaceClockOnMonitor(monitor.dpi, r.right - r.left, r.bottom - r.top, size);
    if (clock_) {
        clock_->Relayout(placement);
    } else {
        const bool movingLeft = RandomInt(2) == 1;
        const bool movingUp = RandomInt(2) == 1;
        clock_.emplace(Handle(), placement, true, colours, movingLeft, movingUp, Events);
        clock_->HidePointer();
    }
    clockMonitor_ = monitor;
    if (time) clock_->ShowTime(*time, false);
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

TMonitorCovers::TMonitorCovers(HWND owner, HWND clock, ControlEvents events, bool clocks, int size,
                               const ColourTable& colours) noexcept
    : owner_(owner), clock_(clock), events_(std::move(events)), size_(size), colours_(colours) {
    if (clocks) density_.emplace();
}

// With clocks, each monitor's density too: a monitor re-scaled while the
// saver runs counts as changed.
TMonitorCovers::DeskLayout TMonitorCovers::CurrentMonitors() const {
    struct Listing {
        std::vector<DisplayMonitor>& monitors;
        const TMonitorDensity* density;
    };
    DeskLayout layout;
    Listing listing{layout.monitors, density_ ? &*density_ : nullptr};
    const RECT primary = PrimaryScreenRect();
    layout.primary = {primary.left, primary.top, primary.right, primary.bottom};
    const BOOL listed = EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT rect, LPARAM data) noexcept -> BOOL {
            try {
                const auto& to = *reinterpret_cast<Listing*>(data);
                to.monitors.push_back({{rect->left, rect->top, rect->right, rect->bottom},
                                       to.density ? to.density->Of(monitor) : kDesignDpi});
                return TRUE;
            } catch (...) {
                return FALSE;
            }
        },
        reinterpret_cast<LPARAM>(&listing));
    // What was listed is covered; the next look lists them again.
    if (!listed) TraceFailure(L"listing the monitors", GetLastError());
    return layout;
}

// Covers reuse their windows where they can: a window moved is less
// disturbance than one destroyed and made anew. A clock is laid out anew
// only on a monitor that changed. The layout counts as covered only once
// every window and clock is in place, so a failure is retried.
void TMonitorCovers::Cover(DeskLayout layout) {
    const std::vector<DisplayMonitor> others = OtherMonitors(layout.monitors, layout.primary);
    covers_.resize(std::min(covers_.size(), others.size()));
    for (size_t i = 0; i < others.size(); ++i) {
        if (i == covers_.size()) {
            auto cover = std::make_unique<TCoverForm>(owner_, others[i].rect);
            cover->Events = events_;
            covers_.push_back(std::move(cover));
        }
        // Below the clock window, so that a monitor overlapping the primary
        // in part never hides the clock.
        covers_[i]->Cover(others[i].rect, clock_);
        if (density_) covers_[i]->FitClock(others[i], size_, colours_, shown_);
    }
    monitors_ = std::move(layout);
}

void TMonitorCovers::ShowTime(const ClockTime& time) {
    shown_ = time;
    for (const auto& cover : covers_)
        if (TClockPanel* clock = cover->Clock()) clock->ShowTime(time, false);
}

void TMonitorCovers::Step(int direction) noexcept {
    for (const auto& cover : covers_) {
        if (TClockPanel* clock = cover->Clock()) {
            const ScreenRect& r = cover->ClockMonitor().rect;
            clock->Step(direction, r.right - r.left, r.bottom - r.top);
        }
    }
}

bool TMonitorCovers::SetColours(const ColourTable& colours) noexcept {
    colours_ = colours;
    bool all = true;
    for (const auto& cover : covers_)
        if (TClockPanel* clock = cover->Clock()) all = clock->SetColours(colours) && all;
    return all;
}

bool TMonitorCovers::Follow() {
    DeskLayout now = CurrentMonitors();
    if (now == monitors_) return false;
    const bool first = monitors_.monitors.empty();
    Cover(std::move(now));
    return !first;
}

}  // namespace lumidial
