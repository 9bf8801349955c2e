#include "MainFrm.h"

#include "Application.h"
#include "ClockArt.h"
#include "ClockFace.h"
#include "Dpi.h"
#include "Drift.h"
#include "PointerThreshold.h"
#include "ScreenSaverUtils.h"
#include "SingleInstance.h"
#include "resource.h"

#include <windowsx.h>

#include <algorithm>
#include <stdexcept>

namespace lumidial {

namespace {

constexpr UINT kFirstTickInterval = 5;
constexpr UINT kTickInterval = 1000;
constexpr UINT_PTR kDrawTimerId = 1;
constexpr DWORD kPreviewInterval = 100;
constexpr DWORD kHostWaitSlice = 10;

template <typename Control>
std::unique_ptr<Control> Make(HWND parent, const PictureRect& layout, bool visible) {
    return std::make_unique<Control>(parent, layout.left, layout.top, layout.width, layout.height,
                                     visible);
}

// A bitmap of the program's resources, held at the resource's own depth:
// the pictures are 8-bit run-length coded with a palette of green levels,
// so a DIB section of 8 bits a pixel with that palette holds them exactly,
// at a third of the memory of true colour. CreateDIBSection takes no
// compressed format; SetDIBits decodes the resource into it. Empty when
// the resource is missing or not such a picture.
UniqueBitmap LoadBitmapResource(int id) noexcept {
    const HINSTANCE instance = Application->Instance();
    const HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_BITMAP);
    const HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const auto* stored = static_cast<const BITMAPINFO*>(loaded ? LockResource(loaded) : nullptr);
    if (!stored) return {};
    const BITMAPINFOHEADER& header = stored->bmiHeader;
    const DWORD colours = header.biClrUsed ? header.biClrUsed : 256;
    const DWORD bitsAt = header.biSize + colours * sizeof(RGBQUAD);
    if (header.biSize < sizeof header || header.biBitCount != 8 || colours > 256 || header.biHeight <= 0 ||
        SizeofResource(instance, found) < bitsAt + header.biSizeImage)
        return {};

    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } plain{};
    plain.header = header;
    plain.header.biSize = sizeof plain.header;
    plain.header.biCompression = BI_RGB;
    plain.header.biSizeImage = 0;
    const auto* bytes = reinterpret_cast<const BYTE*>(stored);
    CopyMemory(plain.colours, bytes + header.biSize, colours * sizeof(RGBQUAD));
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&plain),
                                         DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || SetDIBits(nullptr, bitmap.get(), 0, UINT(header.biHeight), bytes + bitsAt, stored,
                             DIB_RGB_COLORS) != header.biHeight)
        return {};
    return bitmap;
}

UniqueBitmap LoadArtworkBitmap(int id) {
    UniqueBitmap bitmap = LoadBitmapResource(id);
    if (!bitmap) throw std::runtime_error("Failed to load the clock artwork");
    return bitmap;
}

// A picture drawn at a scaled screen's size: 8 bits a pixel, the index
// being the level of green, like the stored artwork held in memory.
UniqueBitmap GreenBitmap(const art::GreenImage& picture) noexcept {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = picture.width;
    info.header.biHeight = -picture.height;  // top row first, as drawn
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = 256;
    for (int level = 0; level < 256; ++level) info.colours[level].rgbGreen = BYTE(level);
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                         &bits, nullptr, 0));
    if (!bitmap || !bits) return {};
    const size_t stride = (size_t(picture.width) + 3) & ~size_t(3);
    for (int y = 0; y < picture.height; ++y)
        CopyMemory(static_cast<BYTE*>(bits) + stride * size_t(y), &picture.levels[size_t(y) * size_t(picture.width)],
                   size_t(picture.width));
    return bitmap;
}

UniqueBitmap PreviewBitmap(int dpi) noexcept {
    try {
        return GreenBitmap(art::DrawPreview(ClockGeometryAt(dpi).scale));
    } catch (...) {
        return {};
    }
}

// Waits out `milliseconds`, answering at once every message another thread
// or program sends to our windows meanwhile (a setting announced to every
// window, a shutdown's query), and nothing else: posted messages, a quit
// request among them, stay queued.
void AnswerSentMessages(DWORD milliseconds) noexcept {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        const DWORD woken = MsgWaitForMultipleObjectsEx(0, nullptr, DWORD(end - now), QS_SENDMESSAGE, 0);
        if (woken == WAIT_TIMEOUT) return;
        if (woken != WAIT_OBJECT_0) {
            Sleep(DWORD(end - now));
            return;
        }
        MSG message{};
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

UniqueBitmap DrawnBitmap(const art::GreenImage& picture) {
    UniqueBitmap bitmap = GreenBitmap(picture);
    if (!bitmap) throw std::runtime_error("Failed to draw the clock artwork");
    return bitmap;
}

}  // namespace

TMainForm::TMainForm() {
    WNDCLASSEXW wc{};
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.hIcon = LoadIconW(Application->Instance(), MAKEINTRESOURCEW(IDI_MAINICON));
    // No double buffering: each tick only repaints the pictures it changed.
    CreateHandle(L"TMainForm", wc, WS_EX_TOPMOST, WS_POPUP | WS_CLIPCHILDREN, L"MainForm", 0, 0,
                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                 Application->Handle());
    layoutScreen_ = PrimarySize();
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
    LoadArtwork(geometry.scale);
    const auto& at = geometry.pictures;
    imgHour1 = Make<TImage>(pnlClockInner->Handle(), at[0], true);
    imgHour2 = Make<TImage>(pnlClockInner->Handle(), at[1], true);
    imgColon = Make<TImage>(pnlClockInner->Handle(), at[2], true);
    imgMin1 = Make<TImage>(pnlClockInner->Handle(), at[3], true);
    imgMin2 = Make<TImage>(pnlClockInner->Handle(), at[4], true);
    imgColon->SetBitmap(ColonImage.get());
    for (TImage* picture : Pictures()) {
        picture->Tag = -1;  // no digit shown yet; the colon's tag is unused
        picture->Events.onMouseMove = [this](HWND control, int x, int y) { FormMouseMove(control, x, y); };
    }
}

std::array<TImage*, 5> TMainForm::Pictures() const noexcept {
    return {imgColon.get(), imgHour1.get(), imgHour2.get(), imgMin1.get(), imgMin2.get()};
}

std::array<TImage*, 4> TMainForm::DigitPictures() const noexcept {
    return {imgHour1.get(), imgHour2.get(), imgMin1.get(), imgMin2.get()};
}

// At the designed size the stored artwork; at any other, the same pictures
// drawn at that size (never the stored ones enlarged), the digits only as
// the clock comes to show them. The artwork in use is replaced only once
// the new one is complete.
void TMainForm::LoadArtwork(double scale) {
    std::array<UniqueBitmap, 10> digits;
    UniqueBitmap colon;
    if (scale == 1.0) {
        for (int digit = 0; digit < 10; ++digit) digits[size_t(digit)] = LoadArtworkBitmap(IDB_DIGIT0 + digit);
        colon = LoadArtworkBitmap(IDB_COLON);
    } else {
        colon = DrawnBitmap(art::DrawColon(scale));
    }
    DigitImages = std::move(digits);
    ColonImage = std::move(colon);
}

HBITMAP TMainForm::DigitImage(int digit) {
    UniqueBitmap& image = DigitImages.at(size_t(digit));
    if (!image) image = DrawnBitmap(art::DrawDigit(digit, layout_.geometry.scale));
    return image.get();
}

SIZE TMainForm::PrimarySize() noexcept { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

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
// changed, a laptop docked, another monitor made the primary; the window
// lies on the primary, so its density is that monitor's): the clock is
// fitted and centred anew,
// and every picture is drawn again at this tick. The drift goes on from the
// centre in the directions it had. A failure leaves the old layout, and the
// next tick tries again.
void TMainForm::FollowPrimary() {
    const SIZE screen = PrimarySize();
    const int dpi = WindowDpi(Handle());
    if (screen.cx == layoutScreen_.cx && screen.cy == layoutScreen_.cy && dpi == layoutDpi_) return;
    const ClockPlacement placement = PlaceClock(dpi, screen.cx, screen.cy);
    if (placement.geometry.scale != layout_.geometry.scale) {
        LoadArtwork(placement.geometry.scale);
        imgColon->SetBitmap(ColonImage.get());
        // The digits' old pictures are gone; each is drawn anew below.
        for (TImage* picture : DigitPictures()) picture->SetBitmap(nullptr);
    }
    layout_ = placement;
    layoutScreen_ = screen;
    layoutDpi_ = dpi;
    const ClockGeometry& geometry = layout_.geometry;
    pnlClockInner->SetBounds(0, 0, geometry.panelWidth, geometry.panelHeight);
    const std::array<TImage*, 5> pictures{imgHour1.get(), imgHour2.get(), imgColon.get(), imgMin1.get(),
                                          imgMin2.get()};
    for (size_t i = 0; i < pictures.size(); ++i) {
        const PictureRect& at = geometry.pictures[i];
        pictures[i]->SetBounds(at.left, at.top, at.width, at.height);
    }
    for (TImage* picture : DigitPictures()) picture->Tag = -1;
    PlaceClockPanel();
}

void TMainForm::Show() { ShowWindow(Handle(), SW_SHOWMAXIMIZED); }

TMainForm::DeskLayout TMainForm::CurrentMonitors() {
    DeskLayout layout;
    layout.primary = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    EnumDisplayMonitors(
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
    return layout;
}

// Covers reuse their windows where they can: a window moved is less
// disturbance than one destroyed and made anew. The layout counts as
// covered only once every window is in place, so a failure is retried.
void TMainForm::CoverMonitors(DeskLayout layout) {
    const std::vector<ScreenRect> rects = CoverRects(layout.monitors, layout.primary);
    covers_.resize(std::min(covers_.size(), rects.size()));
    for (size_t i = 0; i < rects.size(); ++i) {
        if (i == covers_.size()) {
            auto cover = std::make_unique<TCoverForm>(Application->Handle(), rects[i]);
            cover->Events.onMouseMove = [this](HWND control, int x, int y) { FormMouseMove(control, x, y); };
            cover->Events.onKeyDown = [this] { FormKeyDown(); };
            covers_.push_back(std::move(cover));
        }
        // Below the clock window, so that a monitor overlapping the primary
        // in part never hides the clock.
        covers_[i]->Cover(rects[i], Handle());
    }
    monitors_ = std::move(layout);
}

// Called on every display change and once a tick: some platforms announce
// a new monitor layout, others only show it. The first call, at the end of
// the first tick, covers the other monitors: listing the monitors can take
// a while the first time, and the clock comes first.
void TMainForm::FollowMonitors() noexcept {
    if (!coverMonitors_) return;
    try {
        DeskLayout now = CurrentMonitors();
        const ScreenRect primary = now.primary;
        const bool changed = !(now == monitors_);
        const bool first = monitors_.monitors.empty();
        if (changed) CoverMonitors(std::move(now));
        CoverPrimary(primary);
        // Windows coming and going can leave the keyboard with nobody; the
        // platform's password prompt, though, keeps it while it runs.
        if (changed && !first && !verifyingPassword_) {
            SetForegroundWindow(Handle());
            SetFocus(Handle());
        }
    } catch (...) {
        // The next tick looks again.
    }
}

// Windows keeps a maximised window over its monitor when that changes size;
// some window systems leave it at its old size (Wine without a window
// manager) and size it only as it is maximised. So the window is restored
// to the new size and maximised again. That activates it, which must wait
// until the password prompt, if one runs, is done.
void TMainForm::CoverPrimary(const ScreenRect& primary) noexcept {
    const RECT whole{0, 0, primary.right, primary.bottom};
    RECT now{};
    if (verifyingPassword_ || !GetWindowRect(Handle(), &now) || EqualRect(&now, &whole)) return;
    if (!IsZoomed(Handle())) {
        SetWindowPos(Handle(), nullptr, 0, 0, whole.right, whole.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(Handle(), &placement)) return;
    placement.rcNormalPosition = whole;
    placement.showCmd = SW_SHOWNOACTIVATE;
    SetWindowPlacement(Handle(), &placement);
    placement.showCmd = SW_SHOWMAXIMIZED;
    SetWindowPlacement(Handle(), &placement);
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
    case WM_GETMINMAXINFO: {
        // Maximised means the whole primary screen, task bar included, also
        // once the primary has grown beyond the desk the system measured the
        // largest window by.
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMaxPosition = {0, 0};
        info->ptMaxSize = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        info->ptMaxTrackSize.x = std::max(info->ptMaxTrackSize.x, info->ptMaxSize.x);
        info->ptMaxTrackSize.y = std::max(info->ptMaxTrackSize.y, info->ptMaxSize.y);
        return 0;
    }
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
    } else {
        // Preview: paint into the host's window until it hides it.
        if (ParentHandle == nullptr || !IsWindow(ParentHandle)) Halt(0);
        Application->ShowMainForm = false;
        while (!IsWindowVisible(ParentHandle)) {
            // A host window that goes away before it is ever shown leaves
            // nothing to paint.
            if (!IsWindow(ParentHandle)) Halt(0);
            Application->ProcessMessages();
            // The host showing its window puts nothing in our queue, so the
            // wait is bounded; it still wakes at once for our own messages.
            MsgWaitForMultipleObjects(0, nullptr, FALSE, kHostWaitSlice, QS_ALLINPUT);
        }
        RunPreview();
    }
}

void TMainForm::PrepareRunMode() {
    for (TImage* picture : Pictures()) picture->SetCursorNone(true);
    if (!ActsOnSharedState()) return;
    UINT scratch = 0;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, 1, &scratch, 0);
    SetCapture(Handle());
    ShowCursor(FALSE);
    runModePrepared_ = true;
    coverMonitors_ = true;
}

void TMainForm::FormActivate() {
    if (Activated) return;
    Activated = true;
    Application->ProcessMessages();
    EnableDrawTimer(kFirstTickInterval);
}

void TMainForm::FormDestroy() noexcept {
    DisableDrawTimer();
    coverMonitors_ = false;
    covers_.clear();
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

// A window of another program became active (a call, a prompt, an
// installer): the keys the user presses to wake the screen now go to a
// window the clock hides, so the saver asks to close as a key press does.
// Our own windows (the covers, the password prompt) never set this off:
// activation among them stays within the program. Posted, not run here: the
// close query may show the password prompt, which must not run in the midst
// of an activation change.
void TMainForm::FormDeactivateApp() noexcept {
    if (ScreenSaverMode != smRun || !Activated || verifyingPassword_) return;
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
}

void TMainForm::DisableDrawTimer() noexcept {
    if (Handle()) KillTimer(Handle(), kDrawTimerId);
    drawTimerEnabled_ = false;
}

void TMainForm::tmrDrawTimer() noexcept {
    DisableDrawTimer();
    if (ScreenSaverMode == smRun) {
        // The whole update, drift included, reaches the screen in one step.
        LockWindowUpdate(Handle());
        try {
            FollowPrimary();
            DrawTime();
            ++MoveTicks;
            if (DriftDue(MoveTicks, Settings ? Settings->ClockMoveSpeed : -1)) MoveClock();
        } catch (...) {
            // The next tick tries again.
        }
        LockWindowUpdate(nullptr);
        FollowMonitors();
    }
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
                ready[size_t(index)] = index == 0 && digit == 0 ? DigitImages[0].get() : DigitImage(digit);
                return true;
            } catch (...) {
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
        // A failed update leaves the picture as it was until the next tick.
    }
}

void TMainForm::MoveClock() noexcept {
    try {
        if (!Settings || Settings->ClockMoveDirection == 0) return;
        DriftState state{pnlClock->Left(), pnlClock->Top(), MovingLeft, MovingUp};
        const DriftBounds bounds{LeftMargin, TopMargin, RightLimit, BottomLimit};
        const int left = state.left;
        const int top = state.top;
        MoveClockStep(state, Settings->ClockMoveDirection, bounds, GetSystemMetrics(SM_CXSCREEN),
                      GetSystemMetrics(SM_CYSCREEN), pnlClock->Width(), pnlClock->Height());
        MovingLeft = state.movingLeft;
        MovingUp = state.movingUp;
        if (state.left != left || state.top != top)
            pnlClock->SetBounds(state.left, state.top, pnlClock->Width(), pnlClock->Height());
    } catch (...) {
        // The panel stays where it is.
    }
}

void TMainForm::RunPreview() {
    ReleaseInstance();
    bool failed = false;
    {
        ScopedGetDC host(ParentHandle);
        UniqueMemoryDc picture(host ? CreateCompatibleDC(host.get()) : nullptr);
        // At the host window's density: a scaled host shows the picture at
        // the size it has beside a 96-DPI host's preview area.
        const int dpi = ForeignWindowDpi(ParentHandle);
        UniqueBitmap image = dpi == kDesignDpi ? LoadBitmapResource(IDB_PREVIEW) : PreviewBitmap(dpi);
        failed = !host || !picture || !image;
        if (!failed) {
            ScopedSelect select(picture.get(), image.get());
            BITMAP header{};
            GetObjectW(image.get(), sizeof header, &header);
            const SIZE size{header.bmWidth, header.bmHeight};
            RECT bounds{};
            GetWindowRect(ParentHandle, &bounds);
            const RECT area{0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top};
            while (IsWindowVisible(ParentHandle)) {
                if (!FillRect(host.get(), &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)))) {
                    failed = true;
                    break;
                }
                if (!IsWindowVisible(ParentHandle)) break;
                if (!BitBlt(host.get(), 0, 0, size.cx, size.cy, picture.get(), 0, 0, SRCCOPY)) {
                    failed = true;
                    break;
                }
                // Drawing into another process's window reaches the screen
                // under some drivers only once something reads back from it.
                GetPixel(host.get(), 0, 0);
                AnswerSentMessages(kPreviewInterval);
            }
        }
        // The selection, bitmap, memory DC and host DC are released here.
    }
    if (failed) Halt(0);
    Application->Terminate();
}

}  // namespace lumidial
