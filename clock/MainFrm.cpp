#include "MainFrm.h"

#include "Application.h"
#include "ClockFace.h"
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

template <typename Control>
std::unique_ptr<Control> Make(HWND parent, const PictureRect& layout, bool visible) {
    return std::make_unique<Control>(parent, layout.left, layout.top, layout.width, layout.height,
                                     visible);
}

SIZE PrimarySize() noexcept {
    const RECT primary = PrimaryScreenRect();
    return {primary.right, primary.bottom};
}

}  // namespace

TMainForm::TMainForm() {
    WNDCLASSEXW wc{};
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.hIcon = LoadIconW(Application->Instance(), MAKEINTRESOURCEW(IDI_MAINICON));
    layoutScreen_ = PrimarySize();
    // No double buffering: each tick only repaints the pictures it changed.
    CreateHandle(L"TMainForm", wc, WS_EX_TOPMOST, WS_POPUP | WS_CLIPCHILDREN, L"MainForm", 0, 0,
                 layoutScreen_.cx, layoutScreen_.cy, Application->Handle());
    // The window lies on the primary monitor: its density is that monitor's.
    layoutDpi_ = WindowDpi(Handle());
    layout_ = PlaceClock(layoutDpi_, layoutScreen_.cx, layoutScreen_.cy);
    CreateControls();
    Guarded([this] { FormCreate(); });
}

TMainForm::~TMainForm() { DestroyHandle(); }

// The preview paints the host's window and shows none of these: it gets
// the panels only, no pictures and no artwork.
void TMainForm::CreateControls() {
    const ClockGeometry& geometry = layout_.geometry;
    const PictureRect panel{0, 0, geometry.panelWidth, geometry.panelHeight};
    pnlClock = Make<TPanel>(Handle(), panel, false);  // centred at creation
    pnlClockInner = Make<TPanel>(pnlClock->Handle(), panel, true);
    if (ScreenSaverMode != smRun) return;
    artwork_ = TClockArtwork::At(geometry.scale);
    const auto& at = geometry.pictures;
    imgHour1 = Make<TImage>(pnlClockInner->Handle(), at[0], true);
    imgHour2 = Make<TImage>(pnlClockInner->Handle(), at[1], true);
    imgColon = Make<TImage>(pnlClockInner->Handle(), at[2], true);
    imgMin1 = Make<TImage>(pnlClockInner->Handle(), at[3], true);
    imgMin2 = Make<TImage>(pnlClockInner->Handle(), at[4], true);
    imgColon->SetBitmap(artwork_.Colon());
    for (TImage* picture : PicturesInLayoutOrder()) {
        picture->Tag = -1;  // no digit shown yet; the colon's tag is unused
        picture->Events.onMouseMove = [this](HWND control, int x, int y) { FormMouseMove(control, x, y); };
    }
}

std::array<TImage*, 4> TMainForm::DigitPictures() const noexcept {
    return {imgHour1.get(), imgHour2.get(), imgMin1.get(), imgMin2.get()};
}

std::array<TImage*, 5> TMainForm::PicturesInLayoutOrder() const noexcept {
    return {imgHour1.get(), imgHour2.get(), imgColon.get(), imgMin1.get(), imgMin2.get()};
}

// The panel centred, and the drift's bounds, for the layout in force.
void TMainForm::PlaceClockPanel() noexcept {
    pnlClock->SetBounds(layout_.centre.left, layout_.centre.top, layout_.geometry.panelWidth,
                        layout_.geometry.panelHeight);
    LeftMargin = layout_.bounds.leftMargin;
    RightLimit = layout_.bounds.rightLimit;
    TopMargin = layout_.bounds.topMargin;
    BottomLimit = layout_.bounds.bottomLimit;
}

// A primary screen of another size or density (a resolution or the scale
// changed, a laptop docked, another monitor made the primary): the clock is
// fitted and centred anew, and every picture is drawn again at this tick.
// The drift goes on from the centre in the directions it had. A failure
// leaves the old layout, and the next tick tries again.
void TMainForm::FollowPrimary() {
    const SIZE screen = PrimarySize();
    const int dpi = WindowDpi(Handle());
    if (screen.cx == layoutScreen_.cx && screen.cy == layoutScreen_.cy && dpi == layoutDpi_) return;
    const ClockPlacement placement = PlaceClock(dpi, screen.cx, screen.cy);
    if (placement.geometry.scale != artwork_.Scale()) {
        artwork_ = TClockArtwork::At(placement.geometry.scale);
        imgColon->SetBitmap(artwork_.Colon());
        // The digits' old pictures are gone; each is drawn anew below.
        for (TImage* picture : DigitPictures()) picture->SetBitmap(nullptr);
    }
    layout_ = placement;
    layoutScreen_ = screen;
    layoutDpi_ = dpi;
    const ClockGeometry& geometry = layout_.geometry;
    pnlClockInner->SetBounds(0, 0, geometry.panelWidth, geometry.panelHeight);
    const std::array<TImage*, 5> pictures = PicturesInLayoutOrder();
    for (size_t i = 0; i < pictures.size(); ++i) {
        const PictureRect& at = geometry.pictures[i];
        pictures[i]->SetBounds(at.left, at.top, at.width, at.height);
    }
    for (TImage* picture : DigitPictures()) picture->Tag = -1;
    PlaceClockPanel();
}

void TMainForm::Show() { ShowWindow(Handle(), SW_SHOWMAXIMIZED); }

// Called on every display change and once a tick: some platforms announce
// a new monitor layout, others only show it. The first call, at the end of
// the first tick, covers the other monitors: listing the monitors can take
// a while the first time, and the clock comes first.
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

    PlaceClockPanel();

    MovingLeft = RandomInt(2) == 1;
    MovingUp = RandomInt(2) == 1;

    Settings = std::make_unique<TSettings>();

    if (ScreenSaverMode == smRun) {
        PrepareRunMode();
        return;
    }
    // Preview: paint into the host's window until it hides it.
    if (ParentHandle == nullptr || !IsWindow(ParentHandle)) Halt(0);
    Application->ShowMainForm = false;
    WaitForHostWindow();
    RunPreview();
}

void TMainForm::PrepareRunMode() {
    for (TImage* picture : PicturesInLayoutOrder()) picture->SetCursorNone(true);
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
    covers_.emplace(Application->Handle(), Handle(), std::move(input));
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
    const bool moved = PointerMovedEnough(reference, point.x, point.y, layout_.geometry.pointerThreshold);
    MouseStartX = reference.x;
    MouseStartY = reference.y;
    if (moved) Close();
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

void TMainForm::DrawTime() {
    try {
        SYSTEMTIME now{};
        GetLocalTime(&now);

        ClockFaceState face;
        face.tags = {imgHour1->Tag, imgHour2->Tag, imgMin1->Tag, imgMin2->Tag};
        face.hour1Visible = imgHour1->Visible();
        face.innerLeft = pnlClockInner->Left();
        face.colonVisible = imgColon->Visible();
        std::array<HBITMAP, 4> ready{};
        const auto draw = [&](int index, int digit) noexcept {
            try {
                // A hidden 0 keeps whatever picture of it there is: on a
                // scaled screen it is not drawn for a picture nobody sees,
                // which spares the first frame of a one-digit hour that work.
                ready[size_t(index)] = index == 0 && digit == 0 ? artwork_.DigitIfMade(0) : artwork_.Digit(digit);
                return true;
            } catch (...) {
                TraceCaught(L"drawing a digit");  // drawn at the next tick
                return false;
            }
        };
        const ClockFaceChanges changes =
            AdvanceClockFace(face, now.wHour, now.wMinute, Settings->TwentyFourHour, Settings->FlashSecond,
                             layout_.geometry.hiddenDigitShift, draw);

        if (changes.colonToggled) imgColon->SetVisible(face.colonVisible);
        const std::array<TImage*, 4> pictures = DigitPictures();
        for (size_t i = 0; i < pictures.size(); ++i) {
            if (!changes.digitChanged[i]) continue;
            pictures[i]->Tag = face.tags[i];
            if (i == 0) {
                imgHour1->SetVisible(face.hour1Visible);
                pnlClockInner->SetLeft(face.innerLeft);
            }
            pictures[i]->SetBitmap(ready[i]);
            pictures[i]->Repaint();
        }
        pnlClock->SetVisible(true);
        pnlClock->Repaint();
    } catch (...) {
        TraceCaught(L"showing the time");  // the picture stays as it was until the next tick
    }
}

void TMainForm::MoveClock() noexcept {
    try {
        if (!Settings || Settings->ClockMoveDirection == 0) return;
        DriftState state{pnlClock->Left(), pnlClock->Top(), MovingLeft, MovingUp};
        const DriftBounds bounds{LeftMargin, TopMargin, RightLimit, BottomLimit};
        const DriftState before = state;
        const SIZE screen = PrimarySize();
        MoveClockStep(state, Settings->ClockMoveDirection, bounds, screen.cx, screen.cy, pnlClock->Width(),
                      pnlClock->Height());
        MovingLeft = state.movingLeft;
        MovingUp = state.movingUp;
        if (state.left != before.left || state.top != before.top)
            pnlClock->SetBounds(state.left, state.top, pnlClock->Width(), pnlClock->Height());
    } catch (...) {
        TraceCaught(L"moving the clock");  // the panel stays where it is
    }
}

}  // namespace lumidial
