#include "ConfigureFrm.h"

#include "Application.h"
#include "DateTimeText.h"
#include "Dpi.h"
#include "ScreenSaverUtils.h"
#include "SingleInstance.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <stdexcept>
#include <string>

namespace lumidial {

namespace {

const wchar_t* ClassOf(cfg::ControlKind kind) noexcept {
    switch (kind) {
    case cfg::ControlKind::Label:
    case cfg::ControlKind::Bevel:
        return WC_STATICW;
    case cfg::ControlKind::CheckBox:
    case cfg::ControlKind::Button:
        return WC_BUTTONW;
    case cfg::ControlKind::DropDownList:
        return WC_COMBOBOXW;
    case cfg::ControlKind::TimePicker:
        return DATETIMEPICK_CLASSW;
    }
    return WC_STATICW;
}

DWORD LabelStyle(const cfg::ControlLayout& control) noexcept {
    DWORD style = SS_LEFTNOWORDWRAP;
    if (control.align == cfg::TextAlign::Centre) style = SS_CENTER;
    if (control.align == cfg::TextAlign::Right) style = SS_RIGHT;
    // A label with a tool tip (the web address) must see the pointer: with
    // SS_NOTIFY it is no longer transparent to it, and reports clicks.
    if (control.hint) style |= SS_NOTIFY;
    return style;
}

DWORD StyleOf(const cfg::ControlLayout& control) noexcept {
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    if (control.visible) style |= WS_VISIBLE;
    if (!control.enabled) style |= WS_DISABLED;
    if (control.tabStop) style |= WS_TABSTOP;
    switch (control.kind) {
    case cfg::ControlKind::Label:
        return style | LabelStyle(control);
    case cfg::ControlKind::Bevel:
        return style | SS_ETCHEDFRAME;
    case cfg::ControlKind::CheckBox:
        return style | BS_AUTOCHECKBOX;
    case cfg::ControlKind::DropDownList:
        return style | CBS_DROPDOWNLIST | WS_VSCROLL;
    case cfg::ControlKind::TimePicker:
        // Time only, no free text (no DTS_APPCANPARSE).
        return style | DTS_TIMEFORMAT;
    case cfg::ControlKind::Button:
        // BS_NOTIFY: the dialog hears focus changes to mark the focused
        // button as the one Enter presses.
        return style | BS_PUSHBUTTON | BS_NOTIFY;
    }
    return style;
}

UniqueFont MakeFont(const cfg::FontLayout& layout, int dpi) noexcept {
    LOGFONTW font{};
    font.lfHeight = MulDiv(layout.height, dpi, cfg::kDesignDpi);
    font.lfWeight = layout.bold ? FW_BOLD : FW_NORMAL;
    font.lfUnderline = layout.underline ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    wcsncpy(font.lfFaceName, dpi == cfg::kDesignDpi ? layout.face : layout.scaledFace, LF_FACESIZE - 1);
    return UniqueFont(CreateFontIndirectW(&font));
}

SYSTEMTIME ToSystemTime(double value) noexcept {
    const CivilDateTime civil = DecodeDateTime(value);
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(civil.year);
    time.wMonth = static_cast<WORD>(civil.month);
    time.wDay = static_cast<WORD>(civil.day);
    time.wHour = static_cast<WORD>(civil.hour);
    time.wMinute = static_cast<WORD>(civil.minute);
    time.wSecond = static_cast<WORD>(civil.second);
    time.wMilliseconds = static_cast<WORD>(civil.millisecond);
    return time;
}

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

SIZE TextSize(HWND control, HFONT font, const wchar_t* text) noexcept {
    SIZE size{};
    ScopedGetDC dc(control);
    if (!dc) return size;
    ScopedSelect select(dc.get(), font);
    GetTextExtentPoint32W(dc.get(), text, static_cast<int>(wcslen(text)), &size);
    return size;
}

RECT WindowRect(HWND window) noexcept {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
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
    // tool tips. CreateControls reports a picker that cannot be made.
    Application->UseCommonControls(ICC_DATE_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES);
    CreateControls();
    CreateToolTips();
    ApplyDpi(WindowDpi(Handle()));
    Guarded([this] { FormCreate(); });
}

TConfigureForm::~TConfigureForm() {
    toolTips_.reset();
    DestroyHandle();
}

void TConfigureForm::Show() { ShowWindow(Handle(), SW_SHOWNORMAL); }

bool TConfigureForm::PreTranslateMessage(MSG& message) {
    if (message.message != WM_KEYDOWN) return false;
    if (message.hwnd != Handle() && !IsChild(Handle(), message.hwnd)) return false;
    switch (message.wParam) {
    case VK_TAB:
        if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
        MoveFocus(GetKeyState(VK_SHIFT) < 0);
        return true;
    case VK_RETURN:
        return PressFocusedButton();
    default:
        // Escape included: it reaches the focused control (a dropped-down
        // list closes) and nothing else happens.
        return false;
    }
}

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
        FocusReceived();
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) Deactivated();
        break;
    case WM_DPICHANGED:
        DpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
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
    SetWindowTextA(Handle(), ("Configure " + Application->Title()).c_str());
    if (HWND host = HostDialog()) EnableWindow(host, FALSE);

    Settings = std::make_unique<TSettings>();
    SelectIndex(cmbClockMove, Settings->ClockMoveDirection);
    SetChecked(chkFlashSecond, Settings->FlashSecond);
    SetChecked(chkCountDown, Settings->CountDown);
    SetPickerTimeOfDay(Settings->CountDownTime);
    SelectIndex(cmbClockMoveInterval, Settings->ClockMoveSpeed);
    SetChecked(chkTwentyFourHour, Settings->TwentyFourHour);
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

// A failed save raises out of here into the default error box; the dialog
// then stays open, and whatever was written before the failure stays.
void TConfigureForm::btnOkClick() {
    if (!Settings) throw std::logic_error("The settings were never loaded");
    Settings->ClockMoveDirection = SelectedIndex(cmbClockMove);
    Settings->FlashSecond = Checked(chkFlashSecond);
    Settings->CountDown = Checked(chkCountDown);
    Settings->CountDownTime = PickerDateTime();
    Settings->ClockMoveSpeed = SelectedIndex(cmbClockMoveInterval);
    Settings->TwentyFourHour = Checked(chkTwentyFourHour);
    Settings->Save();
    Close();
}

void TConfigureForm::btnCancelClick() { Close(); }

// The shell's answer is not looked at: a missing browser is the shell's to
// report. Only a failure to ask the shell at all earns our warning.
void TConfigureForm::Label6Click() noexcept {
    if (browser_.Open(Handle(), cfg::kWebAddress)) return;
    MessageBoxA(Handle(), "Error encountered launching your web browser", "Warning",
                MB_ICONEXCLAMATION | MB_OK);
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
    case cfg::kOk:
    case cfg::kCancel:
        if (code == BN_SETFOCUS || code == BN_KILLFOCUS) {
            ButtonFocusChanged(control, code == BN_SETFOCUS);
        } else if (code == BN_CLICKED) {
            if (id == cfg::kOk) btnOkClick(); else btnCancelClick();
        }
        break;
    default:
        // Anything else, IDOK and IDCANCEL included, has no handler.
        break;
    }
}

// The focused button is drawn as the one Enter presses.
void TConfigureForm::ButtonFocusChanged(HWND button, bool focused) noexcept {
    const WPARAM style = (focused ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_NOTIFY;
    SendMessageW(button, BM_SETSTYLE, style, TRUE);
}

LRESULT TConfigureForm::StaticColour(HDC dc, HWND control) noexcept {
    if (control != Label6)
        return DefaultHandler(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(control));
    SetTextColor(dc, RGB(0, 0, 255));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    // A system colour brush: the system owns it.
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

bool TConfigureForm::ControlCursor(HWND control, int hitTest) noexcept {
    if (control != Label6 || hitTest != HTCLIENT) return false;
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
    return true;
}

// Activation gives the focus to the window itself; it belongs to the
// control that last had it, or the first in tab order.
void TConfigureForm::FocusReceived() noexcept {
    HWND target = lastFocus_;
    if (!target || !IsWindow(target) || !IsChild(Handle(), target) || !IsWindowVisible(target) ||
        !IsWindowEnabled(target))
        target = NextTabStop(nullptr, false);
    if (target) SetFocus(target);
}

void TConfigureForm::Deactivated() noexcept {
    HWND focus = GetFocus();
    if (focus && IsChild(Handle(), focus)) lastFocus_ = focus;
}

void TConfigureForm::DpiChanged(int dpi, const RECT& suggested) noexcept {
    SetWindowPos(Handle(), nullptr, suggested.left, suggested.top,
                 suggested.right - suggested.left, suggested.bottom - suggested.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyDpi(dpi);
}

// ---- Keyboard navigation ----------------------------------------------------

void TConfigureForm::MoveFocus(bool backwards) noexcept {
    if (HWND next = NextTabStop(GetFocus(), backwards)) SetFocus(next);
    // Keyboard use shows where the focus is.
    SendMessageW(Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

// Walks the layout's tab order from `focus` (from before the first control
// when it is none of ours), skipping controls that are hidden, disabled or
// no tab stop.
HWND TConfigureForm::NextTabStop(HWND focus, bool backwards) const noexcept {
    constexpr int count = static_cast<int>(std::size(cfg::kControls));
    // A part of a control (the picker's spin buttons) stands for the control.
    while (focus && GetParent(focus) && GetParent(focus) != Handle()) focus = GetParent(focus);
    int current = backwards ? count : -1;
    if (focus && GetParent(focus) == Handle()) {
        for (int i = 0; i < count; ++i)
            if (GetDlgCtrlID(focus) == cfg::kControls[i].id) current = i;
    }
    for (int step = 1; step <= count; ++step) {
        const int index = ((current + (backwards ? -step : step)) % count + count) % count;
        const cfg::ControlLayout& candidate = cfg::kControls[index];
        HWND control = GetDlgItem(Handle(), candidate.id);
        if (candidate.tabStop && IsWindowVisible(control) && IsWindowEnabled(control))
            return control;
    }
    return nullptr;
}

bool TConfigureForm::PressFocusedButton() noexcept {
    HWND focus = GetFocus();
    if (focus != btnOk && focus != btnCancel) return false;
    SendMessageW(Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                 reinterpret_cast<LPARAM>(focus));
    return true;
}

// ---- Building and sizing ----------------------------------------------------

void TConfigureForm::CreateControls() {
    HINSTANCE instance = Application->Instance();
    for (const cfg::ControlLayout& control : cfg::kControls) {
        auto menuId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id));
        HWND window = CreateWindowExW(0, ClassOf(control.kind), control.caption, StyleOf(control),
                                      control.left, control.top, control.width, control.height,
                                      Handle(), menuId, instance, nullptr);
        if (!window) throw std::runtime_error("Failed to create window");
    }
    auto item = [this](int id) { return GetDlgItem(Handle(), id); };
    Label1 = item(cfg::kLabel1);
    Label2 = item(cfg::kLabel2);
    Bevel1 = item(cfg::kBevel1);
    Label3 = item(cfg::kLabel3);
    chkTwentyFourHour = item(cfg::kTwentyFourHour);
    chkFlashSecond = item(cfg::kFlashSecond);
    Label4 = item(cfg::kLabel4);
    cmbClockMove = item(cfg::kClockMove);
    lblClockMoveInterval = item(cfg::kClockMoveIntervalLabel);
    cmbClockMoveInterval = item(cfg::kClockMoveInterval);
    chkCountDown = item(cfg::kCountDown);
    dtCountDownTime = item(cfg::kCountDownTime);
    Label5 = item(cfg::kLabel5);
    Label6 = item(cfg::kLabel6);
    btnOk = item(cfg::kOk);
    btnCancel = item(cfg::kCancel);

    // The frame is drawn under everything it encloses.
    SetWindowPos(Bevel1, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    for (const cfg::ListLayout& list : cfg::kLists) {
        HWND combo = item(list.id);
        for (const wchar_t* text : list.items)
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }

    SYSTEMTIME designed = ToSystemTime(cfg::kDesignedCountDownTime);
    SendMessageW(dtCountDownTime, DTM_SETSYSTEMTIME, GDT_VALID,
                 reinterpret_cast<LPARAM>(&designed));
}

// Tips are a help, not a must: without the control the dialog works on.
void TConfigureForm::CreateToolTips() {
    toolTips_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                    WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                                    Application->Instance(), nullptr));
    if (!toolTips_) return;
    for (const cfg::ControlLayout& control : cfg::kControls) {
        if (!control.hint) continue;
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = Handle();
        tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(Handle(), control.id));
        tool.lpszText = const_cast<wchar_t*>(control.hint);  // copied by the control
        SendMessageW(toolTips_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

// New fonts go to the controls before the old ones are deleted.
void TConfigureForm::ApplyDpi(int dpi) noexcept {
    dpi_ = dpi > 0 ? dpi : cfg::kDesignDpi;
    std::array<UniqueFont, static_cast<std::size_t>(cfg::FontRole::Count)> fonts;
    for (std::size_t role = 0; role < fonts.size(); ++role)
        fonts[role] = MakeFont(cfg::kFonts[role], dpi_);
    fonts_.swap(fonts);
    PlaceControls();
    FitClientArea();
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TConfigureForm::PlaceControls() noexcept {
    for (const cfg::ControlLayout& control : cfg::kControls) {
        HWND window = GetDlgItem(Handle(), control.id);
        HFONT font = fonts_[static_cast<std::size_t>(control.font)].get();
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SIZE size{Scale(control.width), Scale(control.height)};
        if (control.autoSize) {
            const SIZE text = TextSize(window, font, control.caption);
            size.cx = std::max(size.cx, text.cx);
            size.cy = std::max(size.cy, text.cy);
        }
        SetWindowPos(window, nullptr, Scale(control.left), Scale(control.top), size.cx, size.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (control.kind == cfg::ControlKind::DropDownList) FitComboHeight(window, size.cy);
    }
}

// A drop-down list sizes its closed height from its font; the layout's
// height wins by adjusting the selection field. The window's own height is
// the height of the list when dropped down.
void TConfigureForm::FitComboHeight(HWND combo, int height) noexcept {
    const int rows = static_cast<int>(std::min<LRESULT>(
        std::max<LRESULT>(SendMessageW(combo, CB_GETCOUNT, 0, 0), 1), cfg::kDropDownRows));
    const int itemHeight = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
    const RECT bounds = WindowRect(combo);
    SetWindowPos(combo, nullptr, 0, 0, bounds.right - bounds.left, height + rows * itemHeight + 2,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    LRESULT field = SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    if (field == CB_ERR) return;
    // The field's height as set and as reported need not agree (Wine adds
    // two pixels when setting), so correct by what the window shows, a few
    // times at most.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const RECT closed = WindowRect(combo);
        const int difference = height - static_cast<int>(closed.bottom - closed.top);
        if (difference == 0 || field + difference <= 0) return;
        field += difference;
        SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }
}

// The client area is what the layout fixes; the frame around it is the
// system's.
void TConfigureForm::FitClientArea() noexcept {
    RECT window = WindowRect(Handle());
    RECT client{};
    GetClientRect(Handle(), &client);
    const int frameWidth = (window.right - window.left) - client.right;
    const int frameHeight = (window.bottom - window.top) - client.bottom;
    SetWindowPos(Handle(), nullptr, 0, 0, Scale(cfg::kForm.clientWidth) + frameWidth,
                 Scale(cfg::kForm.clientHeight) + frameHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int TConfigureForm::Scale(int value) const noexcept {
    return MulDiv(value, dpi_, cfg::kDesignDpi);
}

// ---- Control state ---------------------------------------------------------

bool TConfigureForm::Checked(HWND checkBox) noexcept {
    return SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

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
