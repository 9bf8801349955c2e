#include "ConfigureFrm.h"

#include "AppearanceFrm.h"
#include "Application.h"
#include "DateTimeText.h"
#include "Dpi.h"
#include "Messages.h"
#include "ScreenSaverUtils.h"
#include "Settings.h"
#include "SingleInstance.h"
#include "Trace.h"

#include <commctrl.h>

#include <stdexcept>
#include <string>

namespace lumidial {

namespace {

int SelectedIndex(HWND list) noexcept {
    return static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
}

// An index the list does not have leaves it with no selection.
void SelectIndex(HWND list, std::int32_t index) noexcept {
    const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    const WPARAM selection = index >= 0 && index < count ? static_cast<WPARAM>(index)
                                                         : static_cast<WPARAM>(-1);
    SendMessageW(list, CB_SETCURSEL, selection, 0);
}

// The host's dialog (the display settings that started configure mode
// name a window inside it), disabled while this one is open. A copy that
// lost the single-instance guard leaves it to the copy that holds it.
HWND HostDialog() noexcept {
    if (ParentHandle == nullptr || LostInstanceGuard()) return nullptr;
    return GetParent(ParentHandle);
}

}  // namespace

TConfigureForm::TConfigureForm() {
    WNDCLASSEXW wc{};
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    // A fixed dialog frame: no sizing border, no maximise or minimise box.
    // No WS_CLIPCHILDREN: the bevel paints only its edge, so the window's
    // own background must reach the area the bevel encloses.
    CreateHandle(cfg::kFormClass, wc, WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT,
                 WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS, L"",
                 cfg::kForm.left, cfg::kForm.top, cfg::kForm.clientWidth, cfg::kForm.clientHeight,
                 Application->Handle());
    // Only this window needs the common controls: the time picker and the
    // tool tips. Making the controls reports a picker that cannot be made.
    if (!Application->UseCommonControls(ICC_DATE_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES))
        TraceFailure(L"loading the common controls", GetLastError());
    // The clock on every monitor is a choice only where there are several.
    controls_.emplace(Handle(), cfg::kConfigureLayout, GetSystemMetrics(SM_CMONITORS) > 1);
    FindControls();
    SYSTEMTIME designed = ToSystemTime(cfg::kDesignedCountDownTime);
    SendMessageW(dtCountDownTime, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&designed));
    controls_->ApplyDpi(WindowDpi(Handle()));
    // At its designed place, unless a large text size would take it off the
    // screen.
    controls_->KeepOnScreen();
    Guarded([this] { FormCreate(); });
}

TConfigureForm::~TConfigureForm() {
    controls_.reset();
    DestroyHandle();
}

void TConfigureForm::FindControls() noexcept {
    auto item = [this](int id) { return GetDlgItem(Handle(), id); };
    chkTwentyFourHour = item(cfg::kTwentyFourHour);
    chkFlashSecond = item(cfg::kFlashSecond);
    cmbClockMove = item(cfg::kClockMove);
    lblClockMoveInterval = item(cfg::kClockMoveIntervalLabel);
    cmbClockMoveInterval = item(cfg::kClockMoveInterval);
    chkCountDown = item(cfg::kCountDown);
    dtCountDownTime = item(cfg::kCountDownTime);
    Label6 = item(cfg::kLabel6);
    chkClockOnEveryMonitor = item(cfg::kClockOnEveryMonitor);
}

void TConfigureForm::Show() { ShowWindow(Handle(), SW_SHOWNORMAL); }

// Escape reaches the focused control (a dropped-down list closes) and
// nothing else happens.
bool TConfigureForm::PreTranslateMessage(MSG& message) { return controls_->TranslateKey(message); }

LRESULT TConfigureForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        CommandReceived(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        return StaticColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SETCURSOR:
        if (ControlCursor(reinterpret_cast<HWND>(wParam), LOWORD(lParam))) return TRUE;
        break;
    case WM_SETFOCUS:
        controls_->RestoreFocus();
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) controls_->RememberFocus();
        break;
    case WM_DPICHANGED:
        DpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
        controls_->SettingsChanged(message);
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

// ---- Handlers ---------------------------------------------------------------

void TConfigureForm::FormCreate() {
    SetWindowTextA(Handle(), (std::string(msg::kConfigureCaption) + Application->Title()).c_str());
    if (HWND host = HostDialog()) EnableWindow(host, FALSE);

    Settings = std::make_unique<TSettings>();
    SelectIndex(cmbClockMove, Settings->ClockMoveDirection);
    SetChecked(chkFlashSecond, Settings->FlashSecond);
    SetChecked(chkCountDown, Settings->CountDown);
    SetPickerTimeOfDay(Settings->CountDownTime);
    SelectIndex(cmbClockMoveInterval, Settings->ClockMoveSpeed);
    SetChecked(chkTwentyFourHour, Settings->TwentyFourHour);
    if (chkClockOnEveryMonitor) SetChecked(chkClockOnEveryMonitor, Settings->ClockOnEveryMonitor);
    cmbClockMoveChange();
}

void TConfigureForm::FormDestroy() noexcept {
    Settings.reset();
    if (HWND host = HostDialog()) {
        EnableWindow(host, TRUE);
        SetForegroundWindow(host);
    }
}

// No selection counts as a movement: the interval then still matters.
void TConfigureForm::cmbClockMoveChange() {
    const BOOL moves = SelectedIndex(cmbClockMove) != 0 ? TRUE : FALSE;
    EnableWindow(cmbClockMoveInterval, moves);
    EnableWindow(lblClockMoveInterval, moves);
}

void TConfigureForm::chkCountDownClick() {
    EnableWindow(dtCountDownTime, Checked(chkCountDown) ? TRUE : FALSE);
}

// A key that cannot be opened for writing is reported in a box of the
// dialog's; a value that cannot be written raises out of here into the
// default error box. Either way the dialog stays open, so that the user
// may try again or cancel, and whatever was written before stays.
void TConfigureForm::btnOkClick() {
    if (!Settings) throw std::logic_error(msg::kSettingsNeverLoaded.data());
    Settings->ClockMoveDirection = SelectedIndex(cmbClockMove);
    Settings->FlashSecond = Checked(chkFlashSecond);
    Settings->CountDown = Checked(chkCountDown);
    Settings->CountDownTime = PickerDateTime();
    Settings->ClockMoveSpeed = SelectedIndex(cmbClockMoveInterval);
    Settings->TwentyFourHour = Checked(chkTwentyFourHour);
    // Written only where the box shows.
    if (chkClockOnEveryMonitor) Settings->ClockOnEveryMonitor = Checked(chkClockOnEveryMonitor);
    if (const DWORD error = Settings->Save(chkClockOnEveryMonitor != nullptr); error != ERROR_SUCCESS) {
        SaveFailed(error);
        return;
    }
    Close();
}

void TConfigureForm::btnCancelClick() { Close(); }

// The look is chosen in a dialog of its own, which changes only what OK
// here will write.
void TConfigureForm::btnAppearanceClick() {
    if (!Settings) throw std::logic_error(msg::kSettingsNeverLoaded.data());
    TAppearanceForm appearance(Handle(), *Settings);
    appearance.ShowModal();
}

// Owned by the dialog, which it disables until the user has read it.
void TConfigureForm::SaveFailed(DWORD error) noexcept {
    try {
        std::string text(msg::kSettingsNotSaved);
        text += "\n\n";
        char reason[512] = {};
        const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                            error, 0, reason, sizeof reason, nullptr);
        std::string why(reason, length);
        while (!why.empty() && (why.back() == '\r' || why.back() == '\n' || why.back() == ' ')) why.pop_back();
        text += why.empty() ? FormatWithValue(msg::kErrorCode, std::to_string(error)) : why;
        MessageBoxA(Handle(), text.c_str(), Application->Title().c_str(), MB_OK | MB_ICONERROR);
    } catch (...) {
        TraceCaught(L"reporting settings that could not be saved");
    }
}

// The shell's answer is not looked at: a missing browser is the shell's to
// report. Only a failure to ask the shell at all earns our warning.
void TConfigureForm::Label6Click() noexcept {
    if (browser_.Open(Handle(), cfg::kWebAddress)) return;
    MessageBoxA(Handle(), msg::kBrowserNotLaunched.data(), msg::kWarningCaption.data(), MB_ICONEXCLAMATION | MB_OK);
}

// ---- Message plumbing -----------------------------------------------------

void TConfigureForm::CommandReceived(int id, int code, HWND control) {
    switch (id) {
    case cfg::kClockMove:
        if (code == CBN_SELCHANGE) cmbClockMoveChange();
        break;
    case cfg::kCountDown:
        if (code == BN_CLICKED) chkCountDownClick();
        break;
    case cfg::kLabel6:
        if (code == STN_CLICKED) Label6Click();
        break;
    case cfg::kAppearance:
    case cfg::kOk:
    case cfg::kCancel:
        if (code == BN_SETFOCUS || code == BN_KILLFOCUS) {
            TDialogControls::ButtonFocusChanged(control, code == BN_SETFOCUS);
        } else if (code == BN_CLICKED) {
            if (id == cfg::kOk) btnOkClick();
            else if (id == cfg::kCancel) btnCancelClick();
            else btnAppearanceClick();
        }
        break;
    default:
        // Anything else, IDOK and IDCANCEL included, has no handler.
        break;
    }
}

// The link has colours of its own; every other label the system's.
LRESULT TConfigureForm::StaticColour(HDC dc, HWND control) noexcept {
    if (HBRUSH behind = controls_->LinkColours(dc, control)) return reinterpret_cast<LRESULT>(behind);
    return DefaultHandler(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
}

bool TConfigureForm::ControlCursor(HWND control, int hitTest) noexcept {
    if (control != Label6 || hitTest != HTCLIENT) return false;
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
    return true;
}

void TConfigureForm::DpiChanged(int dpi, const RECT& suggested) noexcept {
    controls_->DpiChanged(dpi, suggested);
}

// ---- Control state ---------------------------------------------------------

// Setting a check box from code counts as the user's click: its click
// handler runs, as it would for a click that changes the state.
void TConfigureForm::SetChecked(HWND checkBox, bool checked) {
    if (Checked(checkBox) == checked) return;
    SendMessageW(checkBox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    CommandReceived(GetDlgCtrlID(checkBox), BN_CLICKED, checkBox);
}

double TConfigureForm::PickerDateTime() const noexcept {
    SYSTEMTIME time{};
    if (SendMessageW(dtCountDownTime, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) !=
        GDT_VALID)
        return cfg::kDesignedCountDownTime;
    CivilDateTime civil;
    civil.year = time.wYear;
    civil.month = time.wMonth;
    civil.day = time.wDay;
    civil.hour = time.wHour;
    civil.minute = time.wMinute;
    civil.second = time.wSecond;
    civil.millisecond = time.wMilliseconds;
    return EncodeDateTime(civil);
}

// Only the time of day of `value` is taken; the picker keeps its date.
void TConfigureForm::SetPickerTimeOfDay(double value) noexcept {
    SYSTEMTIME time{};
    if (SendMessageW(dtCountDownTime, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) !=
        GDT_VALID)
        time = ToSystemTime(cfg::kDesignedCountDownTime);
    const CivilDateTime civil = DecodeDateTime(value);
    time.wHour = static_cast<WORD>(civil.hour);
    time.wMinute = static_cast<WORD>(civil.minute);
    time.wSecond = static_cast<WORD>(civil.second);
    time.wMilliseconds = static_cast<WORD>(civil.millisecond);
    SendMessageW(dtCountDownTime, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
}

}  // namespace lumidial
