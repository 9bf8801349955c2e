#include "MainFrm.h"

#include "Application.h"
#include "Dpi.h"
#include "Drift.h"
#include "FullScreen.h"
#include "PointerThreshold.h"
#include "Preview.h"
#include "ScreenSaverUtils.h"
#include "SingleInstance.h"
#include "Trace.h"
#include "resource.h"

#include <windowsx.h>

namespace lumidial {

namespace {

constexpr UINT kFirstTickInterval = 5;
constexpr UINT kTickInterval = 1000;
constexpr UINT_PTR kDrawTimerId = 1;

SIZE PrimarySize() noexcept {
    const RECT primary = PrimaryScreenRect();
    return {primary.right, primary.bottom};
}

bool DimmedAtTime(const TSettings& settings, const SYSTEMTIME& time) noexcept {
    return DimmedAt(time.wHour * 60 + time.wMinute, settings.DimAtNight, settings.DimFrom, settings.DimTo);
}

}  // namespace

TMainForm::TMainForm() {
    WNDCLASSEXW wc{};
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.hIcon = LoadIconW(Application->Instance(), MAKEINTRESOURCEW(IDI_MAINICON));
    layoutScreen_ = PrimarySize();
    // The clock is made as the user chose it: its size, and its colour,
    // dimmed already when it starts at night.
    Settings = std::make_unique<TSettings>();
    bright_ = ColourTableOf(Settings->ClockColour);
    dimmed_ = ColourTableOf(Settings->ClockColour, kDimmedPercent);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    dimmedShown_ = DimmedAtTime(*Settings, now);
    // No double buffering: each tick only repaints the pictures it changed.
    CreateHandle(L"TMainForm", wc, WS_EX_TOPMOST, WS_POPUP | WS_CLIPCHILDREN, L"MainForm", 0, 0,
                 layoutScreen_.cx, layoutScreen_.cy, Application->Handle());
    // The window lies on the primary monitor: its density is that monitor's.
    layoutDpi_ = WindowDpi(Handle());
    // The drift's first directions, drawn in this order. The preview paints
    // the host's window and shows none of the clock: it gets the panels
    // only, no pictures and no artwork.
    const bool movingLeft = RandomInt(2) == 1;
    const bool movingUp = RandomInt(2) == 1;
    ControlEvents input;
    input.onMouseMove = [this](HWND control, int x, int y) { FormMouseMove(control, x, y); };
    clock_.emplace(Handle(), PlaceClock(layoutDpi_, layoutScreen_.cx, layoutScreen_.cy, Settings->ClockSize),
                   ScreenSaverMode == smRun, Colours(), movingLeft, movingUp, input);
    Guarded([this] { FormCreate(); });
}

TMainForm::~TMainForm() { DestroyHandle(); }

// A primary screen of another size or density (a resolution or the scale
// changed, a laptop docked, another monitor made the primary): the clock is
// fitted and centred anew, and every picture is drawn again at this tick.
// The drift goes on from the centre in the directions it had. A failure
// leaves the old layout, and the next tick tries again.
void TMainForm::FollowPrimary() {
    const SIZE screen = PrimarySize();
    const int dpi = WindowDpi(Handle());
    if (screen.cx == layoutScreen_.cx && screen.cy == layoutScreen_.cy && dpi == layoutDpi_) return;
    clock_->Relayout(PlaceClock(dpi, screen.cx, screen.cy, Settings->ClockSize));
    layoutScreen_ = screen;
    layoutDpi_ = dpi;
}

void TMainForm::Show() { ShowWindow(Handle(), SW_SHOWMAXIMIZED); }

// Called on every display change and once a tick: some platforms announce
// a new monitor layout, others only show it, and any program may move a
// cover. The first call, at the end of the first tick, covers the other
// monitors: listing the monitors can take a while the first time, and the
// clock comes first.
void TMainForm::FollowMonitors() noexcept {
    if (!covers_) return;
    try {
        const bool changed = covers_->Follow();
        // Maximising activates the window, which must wait until the
        // password prompt, if one runs, is done.
        if (!verifyingPassword_) KeepOverPrimary(Handle());
        // Windows coming and going can leave the keyboard with nobody; the
        // platform's password prompt, though, keeps it while it runs.
        if (changed && !verifyingPassword_) {
            SetForegroundWindow(Handle());
            SetFocus(Handle());
        }
    } catch (...) {
        TraceCaught(L"covering the other monitors");  // the next tick looks again
    }
}

// A copy that lost the single-instance guard leaves the running copy's
// screen-saver flag, pointer and capture alone.
bool TMainForm::ActsOnSharedState() const noexcept { return !LostInstanceGuard(); }

LRESULT TMainForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) FormActivate();
        break;
    case WM_ACTIVATEAPP:
        if (!wParam) FormDeactivateApp();
        break;
    case WM_TIMER:
        if (wParam == kDrawTimerId) tmrDrawTimer();
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        FormKeyDown();
        return 0;
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
        return 0;  // no menu mode for Alt or F10
    case WM_MOUSEMOVE:
        FormMouseMove(Handle(), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONUP:
        ReleaseCapture();
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            SetCursor(nullptr);
            return TRUE;
        }
        break;
    case WM_GETMINMAXINFO:
        FillPrimaryMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_SCREENSAVE) return 0;  // already running
        break;
    case WM_DISPLAYCHANGE:
        FollowMonitors();
        break;
    case WM_CLOSE:
        Close();
        return 0;
    case WM_DESTROY:
        FormDestroy();
        return 0;
    default:
        break;
    }
    return DefaultHandler(message, wParam, lParam);
}

bool TMainForm::CloseQuery() { return FormCloseQuery(); }

void TMainForm::FormCreate() {
    Activated = false;
    MouseStartX = -1;
    MouseStartY = -1;
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    if (ScreenSaverMode == smRun) {
        PrepareRunMode();
        return;
    }
    // Preview: paint into the host's window until it hides it.
    if (ParentHandle == nullptr || !IsWindow(ParentHandle)) Halt(0);
    Application->ShowMainForm = false;
    WaitForHostWindow();
    RunPreview(Settings->ClockColour);
}

void TMainForm::PrepareRunMode() {
    clock_->HidePointer();
    pointerDensity_.emplace();
    if (!ActsOnSharedState()) return;
    UINT scratch = 0;
    if (!SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 1, &scratch, 0))
        TraceFailure(L"telling the system that a screen saver runs", GetLastError());
    SetCapture(Handle());
    ShowCursor(FALSE);
    runModePrepared_ = true;
    ControlEvents input;
    input.onMouseMove = [this](HWND control, int x, int y) { FormMouseMove(control, x, y); };
    input.onKeyDown = [this] { FormKeyDown(); };
    covers_.emplace(Application->Handle(), Handle(), std::move(input), Settings->ClockOnEveryMonitor,
                    Settings->ClockSize, Colours());
}

// Only the first activation counts; the timer starts with it. A preview's
// window is never shown, so never activated: its timer never runs.
void TMainForm::FormActivate() {
    if (Activated) return;
    Activated = true;
    Application->ProcessMessages();
    EnableDrawTimer(kFirstTickInterval);
}

void TMainForm::FormDestroy() noexcept {
    DisableDrawTimer();
    covers_.reset();
    if (runModePrepared_) {
        UINT scratch = 0;
        SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 0, &scratch, 0);
        ReleaseCapture();
        ShowCursor(TRUE);
        runModePrepared_ = false;
    }
    Settings.reset();
}

void TMainForm::FormKeyDown() { Close(); }

// Another program's window became active (a call, a prompt): the keys that
// would wake the screen go to a window the clock hides, so the saver asks
// to close as a key does. Our own windows (covers, password prompt) stay
// within the program, and a second copy's window is never activated. Posted:
// the password prompt must not run in the midst of an activation change.
void TMainForm::FormDeactivateApp() noexcept {
    if (!Activated || verifyingPassword_) return;
    PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

void TMainForm::FormMouseMove(HWND control, int x, int y) {
    // Pictures report in their own frame; the reference lives in the
    // window's client frame, so every report is brought there first.
    POINT point{x, y};
    if (control != Handle()) MapWindowPoints(control, Handle(), &point, 1);
    PointerReference reference{MouseStartX, MouseStartY};
    const bool moved = PointerMovedEnough(reference, point.x, point.y, PointerThresholdUnder(point));
    MouseStartX = reference.x;
    MouseStartY = reference.y;
    if (moved) Close();
}

// A hand's tremor over a dense monitor beside a less dense primary is judged
// at the dense monitor's density: the monitor under the pointer's new
// position, wherever the clock window's own monitor is.
int TMainForm::PointerThresholdUnder(POINT client) const noexcept {
    if (!pointerDensity_) return clock_->Placement().geometry.pointerThreshold;
    POINT screen = client;
    ClientToScreen(Handle(), &screen);
    return PointerThresholdAt(pointerDensity_->Of(MonitorFromPoint(screen, MONITOR_DEFAULTTONEAREST)));
}

bool TMainForm::FormCloseQuery() {
    if (ScreenSaverMode != smRun) return true;
    // Once closing was allowed, the quit request is on its way; input that
    // arrives meanwhile must not ask for the password again.
    if (closeAllowed_) return true;
    const bool timerWasEnabled = drawTimerEnabled_;
    DisableDrawTimer();
    if (ActsOnSharedState()) ShowCursor(TRUE);
    verifyingPassword_ = true;
    const bool canClose = VerifyPassword(Handle());
    verifyingPassword_ = false;
    if (!canClose) {
        if (ActsOnSharedState()) ShowCursor(FALSE);
        if (timerWasEnabled || Activated) EnableDrawTimer(drawTimerInterval_);
    }
    closeAllowed_ = canClose;
    return canClose;
}

void TMainForm::EnableDrawTimer(UINT interval) noexcept {
    drawTimerInterval_ = interval;
    drawTimerEnabled_ = SetTimer(Handle(), kDrawTimerId, interval, nullptr) != 0;
    if (!drawTimerEnabled_) TraceFailure(L"starting the clock's timer", GetLastError());
}

void TMainForm::DisableDrawTimer() noexcept {
    if (Handle()) KillTimer(Handle(), kDrawTimerId);
    drawTimerEnabled_ = false;
}

// The whole update, drift included, reaches the screen in one step.
void TMainForm::tmrDrawTimer() noexcept {
    DisableDrawTimer();
    // One window in the system may be locked at a time. When another
    // program holds the lock (a drag in progress), this tick draws unlocked
    // and must not release that program's lock. (The function documents no
    // error code, so none is traced.)
    const bool locked = LockWindowUpdate(Handle()) != FALSE;
    if (!locked) TraceFailure(L"holding the screen's updates for a tick");
    try {
        FollowPrimary();
        DrawTime();
        ++MoveTicks;
        if (DriftDue(MoveTicks, Settings ? Settings->ClockMoveSpeed : -1)) MoveClock();
    } catch (...) {
        TraceCaught(L"a tick of the clock");  // the next tick tries again
    }
    if (locked) LockWindowUpdate(nullptr);
    FollowMonitors();
    EnableDrawTimer(kTickInterval);
}

// Every clock shows the same time and colon, the one on the primary first.
void TMainForm::DrawTime() {
    try {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        FollowDimming(now);
        if (Settings->FlashSecond) colonVisible_ = !colonVisible_;
        const ClockTime time{now.wHour, now.wMinute, Settings->TwentyFourHour, Settings->LeadingZero, colonVisible_};
        clock_->ShowTime(time);
        if (covers_) covers_->ShowTime(time);
    } catch (...) {
        TraceCaught(L"showing the time");  // the picture stays as it was until the next tick
    }
}

// Judged at every tick from the time then, so that the first tick past a
// boundary, or past a jump of the clock (summer time, waking from sleep, a
// clock set by hand), brings the change. Every clock's pictures keep their
// drawing and change only their colour table; one the system refused is
// tried again at the next tick.
void TMainForm::FollowDimming(const SYSTEMTIME& now) noexcept {
    const bool dimmed = DimmedAtTime(*Settings, now);
    if (dimmed == dimmedShown_) return;
    const ColourTable& colours = dimmed ? dimmed_ : bright_;
    bool all = clock_->SetColours(colours);
    if (covers_) all = covers_->SetColours(colours) && all;
    if (all) dimmedShown_ = dimmed;
}

// Every clock steps at once, each within its own monitor.
void TMainForm::MoveClock() noexcept {
    if (!Settings || Settings->ClockMoveDirection == 0) return;
    const SIZE screen = PrimarySize();
    clock_->Step(Settings->ClockMoveDirection, screen.cx, screen.cy);
    if (covers_) covers_->Step(Settings->ClockMoveDirection);
}

}  // namespace lumidial
