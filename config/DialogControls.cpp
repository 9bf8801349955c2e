#include "DialogControls.h"

#include "Application.h"
#include "DateTimeText.h"
#include "Messages.h"
#include "Trace.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <stdexcept>

namespace lumidial {

namespace {

const wchar_t* ClassOf(cfg::ControlKind kind) noexcept {
    switch (kind) {
    case cfg::ControlKind::Label:
    case cfg::ControlKind::Bevel:
    case cfg::ControlKind::Picture:
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
    case cfg::ControlKind::Picture:
        return style | SS_OWNERDRAW;
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
    font.lfHeight = MulDiv(layout.height, dpi, kDesignDpi);
    font.lfWeight = layout.bold ? FW_BOLD : FW_NORMAL;
    font.lfUnderline = layout.underline ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    wcsncpy(font.lfFaceName, dpi == kDesignDpi ? layout.face : layout.scaledFace, LF_FACESIZE - 1);
    return UniqueFont(CreateFontIndirectW(&font));
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

}  // namespace

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

TDialogControls::TDialogControls(HWND form, const cfg::DialogLayout& layout, bool severalMonitors)
    : form_(form), layout_(layout), severalMonitors_(severalMonitors) {
    CreateControls();
    CreateToolTips();
}

TDialogControls::~TDialogControls() = default;

const cfg::ControlLayout* TDialogControls::LayoutOf(HWND control) const noexcept {
    if (!control || GetParent(control) != form_) return nullptr;
    for (const cfg::ControlLayout& layout : layout_.controls)
        if (layout.id == GetDlgCtrlID(control)) return &layout;
    return nullptr;
}

// ---- Keyboard moves ---------------------------------------------------------

bool TDialogControls::TranslateKey(const MSG& message) noexcept {
    if (message.message != WM_KEYDOWN) return false;
    if (message.hwnd != form_ && !IsChild(form_, message.hwnd)) return false;
    switch (message.wParam) {
    case VK_TAB:
        if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
        MoveFocus(GetKeyState(VK_SHIFT) < 0);
        return true;
    case VK_RETURN:
        return PressFocusedButton();
    default:
        return false;
    }
}

void TDialogControls::MoveFocus(bool backwards) noexcept {
    if (HWND next = NextTabStop(GetFocus(), backwards)) SetFocus(next);
    // Keyboard use shows where the focus is.
    SendMessageW(form_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

// Walks the layout's tab order from `focus` (from before the first control
// when it is none of ours), skipping controls that are hidden, disabled or
// no tab stop.
HWND TDialogControls::NextTabStop(HWND focus, bool backwards) const noexcept {
    const int count = static_cast<int>(layout_.controls.size());
    // A part of a control (the picker's spin buttons) stands for the control.
    while (focus && GetParent(focus) && GetParent(focus) != form_) focus = GetParent(focus);
    int current = backwards ? count : -1;
    if (focus && GetParent(focus) == form_) {
        for (int i = 0; i < count; ++i)
            if (GetDlgCtrlID(focus) == layout_.controls[i].id) current = i;
    }
    for (int step = 1; step <= count; ++step) {
        const int index = ((current + (backwards ? -step : step)) % count + count) % count;
        const cfg::ControlLayout& candidate = layout_.controls[index];
        HWND control = GetDlgItem(form_, candidate.id);
        if (candidate.tabStop && IsWindowVisible(control) && IsWindowEnabled(control))
            return control;
    }
    return nullptr;
}

bool TDialogControls::PressFocusedButton() noexcept {
    HWND focus = GetFocus();
    const cfg::ControlLayout* control = LayoutOf(focus);
    if (!control || control->kind != cfg::ControlKind::Button) return false;
    SendMessageW(form_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                 reinterpret_cast<LPARAM>(focus));
    return true;
}

void TDialogControls::ButtonFocusChanged(HWND button, bool focused) noexcept {
    const WPARAM style = (focused ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_NOTIFY;
    SendMessageW(button, BM_SETSTYLE, style, TRUE);
}

void TDialogControls::RestoreFocus() noexcept {
    HWND target = lastFocus_;
    if (!target || !IsWindow(target) || !IsChild(form_, target) || !IsWindowVisible(target) ||
        !IsWindowEnabled(target))
        target = NextTabStop(nullptr, false);
    if (target) SetFocus(target);
}

void TDialogControls::RememberFocus() noexcept {
    HWND focus = GetFocus();
    if (focus && IsChild(form_, focus)) lastFocus_ = focus;
}

// ---- Building and sizing ----------------------------------------------------

void TDialogControls::CreateControls() {
    HINSTANCE instance = Application->Instance();
    for (const cfg::ControlLayout& control : layout_.controls) {
        if (control.severalMonitors == cfg::OnSeveralMonitors::OnlyThere && !severalMonitors_) continue;
        auto menuId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id));
        HWND window = CreateWindowExW(0, ClassOf(control.kind), control.caption, StyleOf(control),
                                      control.left, control.top, control.width, control.height,
                                      form_, menuId, instance, nullptr);
        if (!window) throw std::runtime_error(msg::kFailedToCreateWindow.data());
    }
    // A frame is drawn under everything it encloses.
    for (const cfg::ControlLayout& control : layout_.controls)
        if (control.kind == cfg::ControlKind::Bevel)
            SetWindowPos(GetDlgItem(form_, control.id), HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    for (const cfg::ListLayout& list : layout_.lists) {
        HWND combo = GetDlgItem(form_, list.id);
        for (const wchar_t* text : list.items)
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
}

// Tips are a help, not a must: without the control the dialog works on.
void TDialogControls::CreateToolTips() {
    toolTips_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                    WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form_, nullptr,
                                    Application->Instance(), nullptr));
    if (!toolTips_) {
        TraceFailure(L"making a dialog's tool tips", GetLastError());
        return;
    }
    for (const cfg::ControlLayout& control : layout_.controls) {
        HWND window = GetDlgItem(form_, control.id);
        if (!control.hint || !window) continue;
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = form_;
        tool.uId = reinterpret_cast<UINT_PTR>(window);
        tool.lpszText = const_cast<wchar_t*>(control.hint);  // copied by the control
        SendMessageW(toolTips_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

// New fonts go to the controls before the old ones are deleted.
void TDialogControls::ApplyDpi(int dpi) noexcept {
    dpi_ = dpi > 0 ? dpi : kDesignDpi;
    std::array<UniqueFont, static_cast<std::size_t>(cfg::FontRole::Count)> fonts;
    for (std::size_t role = 0; role < fonts.size(); ++role)
        fonts[role] = MakeFont(cfg::kFonts[role], dpi_);
    fonts_.swap(fonts);
    PlaceControls();
    FitClientArea();
    InvalidateRect(form_, nullptr, TRUE);
}

void TDialogControls::PlaceControls() noexcept {
    for (const cfg::ControlLayout& control : layout_.controls) {
        HWND window = GetDlgItem(form_, control.id);
        if (!window) continue;  // the row of several monitors, on one
        HFONT font = fonts_[static_cast<std::size_t>(control.font)].get();
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        const RECT designed = Designed(control);
        SIZE size{Scale(designed.right - designed.left), Scale(designed.bottom - designed.top)};
        if (control.autoSize) {
            const SIZE text = TextSize(window, font, control.caption);
            size.cx = std::max(size.cx, text.cx);
            size.cy = std::max(size.cy, text.cy);
        }
        SetWindowPos(window, nullptr, Scale(designed.left), Scale(designed.top), size.cx, size.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (control.kind == cfg::ControlKind::DropDownList) FitComboHeight(window, size.cy);
    }
}

// A drop-down list sizes its closed height from its font; the layout's
// height wins by adjusting the selection field. The window's own height is
// the height of the list when dropped down.
void TDialogControls::FitComboHeight(HWND combo, int height) noexcept {
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
void TDialogControls::FitClientArea() noexcept {
    RECT window = WindowRect(form_);
    RECT client{};
    GetClientRect(form_, &client);
    const int frameWidth = (window.right - window.left) - client.right;
    const int frameHeight = (window.bottom - window.top) - client.bottom;
    const int row = severalMonitors_ ? layout_.severalMonitorsRow : 0;
    SetWindowPos(form_, nullptr, 0, 0, Scale(layout_.form.clientWidth) + frameWidth,
                 Scale(layout_.form.clientHeight + row) + frameHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT TDialogControls::Designed(const cfg::ControlLayout& control) const noexcept {
    RECT r{control.left, control.top, control.left + control.width, control.top + control.height};
    if (!severalMonitors_) return r;
    if (control.severalMonitors == cfg::OnSeveralMonitors::MovesDown) OffsetRect(&r, 0, layout_.severalMonitorsRow);
    if (control.severalMonitors == cfg::OnSeveralMonitors::GrowsDown) r.bottom += layout_.severalMonitorsRow;
    return r;
}

int TDialogControls::Scale(int value) const noexcept {
    return MulDiv(value, dpi_, kDesignDpi);
}

}  // namespace lumidial
