#include "CoverFrm.h"

#include "Application.h"
#include "FullScreen.h"
#include "Trace.h"

#include <windowsx.h>

namespace lumidial {

TCoverForm::TCoverForm(HWND owner, const DisplayMonitor& monitor) : monitor_(monitor) {
    WNDCLASSEXW wc{};
    wc.hCursor = nullptr;  // no pointer over the saver
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    // A tool window owned by the program's hidden window: no task-bar button
    // and no place in Alt+Tab. Its black never paints over its clock.
    const ScreenRect& r = monitor.rect;
    CreateHandle(L"TCoverForm", wc, WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, WS_POPUP | WS_CLIPCHILDREN,
                 L"", r.left, r.top, r.right - r.left, r.bottom - r.top, owner);
}

// Looked at once a tick for every cover: a few reads, and a move only when
// something is out of place.
void TCoverForm::KeepInPlace(HWND above) noexcept {
    const ScreenRect& m = monitor_.rect;
    RECT now{};
    const bool inPlace = GetWindowRect(Handle(), &now) && now.left == m.left && now.top == m.top &&
                         now.right == m.right && now.bottom == m.bottom && IsWindowVisible(Handle()) &&
                         (GetWindowLongPtrW(Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) &&
                         GetWindow(Handle(), GW_HWNDPREV) == above;
    if (inPlace) return;
    if (!SetWindowPos(Handle(), above, m.left, m.top, m.right - m.left, m.bottom - m.top,
                      SWP_NOACTIVATE | SWP_SHOWWINDOW))
        TraceFailure(L"putting a cover over its monitor", GetLastError());
}

// The device's name alone changing (a monitor listed in another's place)
// leaves the clock as it is.
void TCoverForm::FitClock(int size, const ColourTable& colours, const std::optional<ClockTime>& time) {
    const ScreenRect& r = monitor_.rect;
    if (clock_ && r == clockMonitor_.rect && monitor_.dpi == clockMonitor_.dpi) return;
    const ClockPlacement placement = PlaceClockOnMonitor(monitor_.dpi, r.right - r.left, r.bottom - r.top, size);
    if (clock_) {
        clock_->Relayout(placement);
    } else {
        const bool movingLeft = RandomInt(2) == 1;
        const bool movingUp = RandomInt(2) == 1;
        clock_.emplace(Handle(), placement, true, colours, movingLeft, movingUp, Events);
        clock_->HidePointer();
    }
    clockMonitor_ = monitor_;
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
                MONITORINFOEXW info{};
                info.cbSize = sizeof info;
                // Without its name a monitor is known by its rectangle alone.
                if (!GetMonitorInfoW(monitor, &info)) TraceFailure(L"reading a monitor's name", GetLastError());
                to.monitors.push_back({{rect->left, rect->top, rect->right, rect->bottom},
                                       to.density ? to.density->Of(monitor) : kDesignDpi,
                                       info.szDevice});
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

// Each monitor keeps its window where it can (MatchCovers): a monitor that
// did not change keeps its window untouched, and a window moved is less
// disturbance than one destroyed and made anew. The missing windows are
// made first, so a failure leaves the covers as they were; the windows kept
// stay in their order, the new ones below them.
void TMonitorCovers::Assign(const DeskLayout& layout) {
    const std::vector<DisplayMonitor> others = OtherMonitors(layout.monitors, layout.primary);
    std::vector<DisplayMonitor> covered;
    for (const auto& cover : covers_) covered.push_back(cover->Monitor());
    const std::vector<std::size_t> match = MatchCovers(covered, others);
    std::vector<std::unique_ptr<TCoverForm>> made;
    for (std::size_t i = 0; i < others.size(); ++i) {
        if (match[i] != kNewCover) continue;
        made.push_back(std::make_unique<TCoverForm>(owner_, others[i]));
        made.back()->Events = events_;
    }
    std::vector<bool> kept(covers_.size(), false);
    for (std::size_t i = 0; i < others.size(); ++i) {
        if (match[i] == kNewCover) continue;
        covers_[match[i]]->SetMonitor(others[i]);
        kept[match[i]] = true;
    }
    std::vector<std::unique_ptr<TCoverForm>> next;
    next.reserve(others.size());
    for (std::size_t j = 0; j < covers_.size(); ++j)
        if (kept[j]) next.push_back(std::move(covers_[j]));
    for (auto& cover : made) next.push_back(std::move(cover));
    covers_ = std::move(next);
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

// Every tick, whether or not the monitors changed: Windows or another
// program may have moved a cover. Just below the clock window, each below
// the one before, so that a monitor overlapping the primary in part never
// hides the clock. The layout counts as covered only once every clock is in
// place, so a failure is retried.
bool TMonitorCovers::Follow() {
    DeskLayout now = CurrentMonitors();
    const bool changed = now != monitors_;
    const bool first = monitors_.monitors.empty();
    if (changed) Assign(now);
    HWND above = clock_;
    for (const auto& cover : covers_) {
        cover->KeepInPlace(above);
        above = cover->Handle();
    }
    if (!changed) return false;
    if (density_)
        for (const auto& cover : covers_) cover->FitClock(size_, colours_, shown_);
    monitors_ = std::move(now);
    return !first;
}

}  // namespace lumidial
