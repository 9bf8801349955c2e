#include "DialogControls.h"

#include "Accessibility.h"
#include "Application.h"
#include "DateTimeText.h"
#include "DialogLink.h"
#include "DialogText.h"
#include "Messages.h"
#include "Trace.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <stdexcept>
#include <string>

namespace lumidial {

namespace {

const wchar_t* ClassOf(cfg::ControlKind kind) noexcept {
    switch (kind) {
    case cfg::ControlKind::Label:
    case cfg::ControlKind::Bevel:
    case cfg::ControlKind::Picture:
    case cfg::ControlKind::Link:
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
    // A label with a tool tip, or a link, must see the pointer: with
    // SS_NOTIFY it is no longer transparent to it, and reports clicks.
    if (control.hint || control.kind == cfg::ControlKind::Link) style |= SS_NOTIFY;
    return style;
}

DWORD StyleOf(const cfg::ControlLayout& control) noexcept {
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    if (control.visible) style |= WS_VISIBLE;
    if (!control.enabled) style |= WS_DISABLED;
    if (control.tabStop) style |= WS_TABSTOP;
    switch (control.kind) {
    case cfg::ControlKind::Label:
    case cfg::ControlKind::Link:
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

// `density`: the monitor's times the text size.
UniqueFont MakeFont(const cfg::FontLayout& layout, int density) noexcept {
    LOGFONTW font{};
    font.lfHeight = MulDiv(layout.height, density, kDesignDpi);
    font.lfWeight = layout.bold ? FW_BOLD : FW_NORMAL;
    font.lfUnderline = layout.underline ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    wcsncpy(font.lfFaceName, density == kDesignDpi ? layout.face : layout.scaledFace, LF_FACESIZE - 1);
    return UniqueFont(CreateFontIndirectW(&font));
}

// The caption of `control` as drawn, in `font`; nothing when it cannot be
// measured.
SIZE CaptionSize(HWND control, HFONT font, const wchar_t* caption) noexcept {
    SIZE size{};
    ScopedGetDC dc(control);
    if (!dc) return size;
    ScopedSelect select(dc.get(), font);
    try {
        const std::wstring drawn = DrawnCaption(caption);
        GetTextExtentPoint32W(dc.get(), drawn.c_str(), static_cast<int>(drawn.size()), &size);
    } catch (...) {
        TraceCaught(L"measuring a caption");
    }
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

bool Checked(HWND checkBox) noexcept { return SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED; }

TDialogControls::TDialogControls(HWND form, const cfg::DialogLayout& layout, bool severalMonitors)
    : form_(form), layout_(layout), severalMonitors_(severalMonitors), textScale_(TextScale()),
      highContrast_(HighContrast()) {
    CreateControls();
    tips_.emplace(form_, layout_);
    // Access keys are underlined once the keyboard is used, unless the user
    // wants them always; focus rectangles show as they did.
    if (!KeyboardCuesAlways()) SendMessageW(form_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEACCEL), 0);
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
    if (message.hwnd != form_ && !IsChild(form_, message.hwnd)) return false;
    switch (message.message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        tips_->Hide();
        return false;
    case WM_SYSKEYDOWN:
        tips_->Hide();
        if (message.wParam == VK_MENU) ShowKeyboardCues();
        return false;
    case WM_SYSCHAR:
        return AccessKey(static_cast<wchar_t>(message.wParam));
    case WM_KEYDOWN:
        break;
    default:
        return false;
    }
    tips_->Hide();
    switch (message.wParam) {
    case VK_TAB:
        if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
        MoveFocus(GetKeyState(VK_SHIFT) < 0);
        return true;
    case VK_RETURN:
        return PressFocused();
    case VK_SPACE: {
        const cfg::ControlLayout* focused = LayoutOf(GetFocus());
        return focused && focused->kind == cfg::ControlKind::Link && PressFocused();
    }
    default:
        return false;
    }
}

void TDialogControls::MoveFocus(bool backwards) noexcept {
    HWND next = NextTabStop(GetFocus(), backwards);
    if (next) SetFocus(next);
    // Keyboard use shows where the focus is.
    SendMessageW(form_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    if (next) ShowKeyboardTip(next);
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

// As a click: the button's BN_CLICKED, the link's STN_CLICKED.
bool TDialogControls::PressFocused() noexcept {
    HWND focus = GetFocus();
    const cfg::ControlLayout* control = LayoutOf(focus);
    if (!control || (control->kind != cfg::ControlKind::Button && control->kind != cfg::ControlKind::Link))
        return false;
    const WORD code = control->kind == cfg::ControlKind::Button ? BN_CLICKED : STN_CLICKED;
    SendMessageW(form_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), code), reinterpret_cast<LPARAM>(focus));
    return true;
}

bool TDialogControls::AccessKey(wchar_t key) noexcept {
    const auto& controls = layout_.controls;
    auto usable = [this](HWND window) { return window && IsWindowVisible(window) && IsWindowEnabled(window); };
    for (std::size_t i = 0; i < controls.size(); ++i) {
        HWND window = GetDlgItem(form_, controls[i].id);
        if (!usable(window) || !IsAccessKey(controls[i].caption, key)) continue;
        if (controls[i].kind == cfg::ControlKind::Label) {
            // The control the label names; nothing when it is not usable.
            std::size_t named = i + 1;
            while (named < controls.size() && !controls[named].tabStop) ++named;
            window = named < controls.size() ? GetDlgItem(form_, controls[named].id) : nullptr;
            if (!usable(window)) return true;
        }
        SetFocus(window);
        ShowKeyboardTip(window);
        if (controls[i].kind == cfg::ControlKind::CheckBox) SendMessageW(window, BM_CLICK, 0, 0);
        if (controls[i].kind == cfg::ControlKind::Button) PressFocused();
        return true;
    }
    return false;
}

void TDialogControls::ShowKeyboardCues() noexcept {
    SendMessageW(form_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL | UISF_HIDEFOCUS), 0);
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
    tips_->Hide();
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
        if (control.kind == cfg::ControlKind::Link) {
            MakeLink(window);
            notes_.SetRole(window, ROLE_SYSTEM_LINK);
        }
        if (control.hint) notes_.SetDescription(window, control.hint);
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

void TDialogControls::ShowKeyboardTip(HWND control) noexcept {
    const cfg::ControlLayout* layout = LayoutOf(control);
    if (layout && layout->hint)
        tips_->ShowBelow(control, layout->hint);
    else
        tips_->Hide();
}

// New fonts go to the controls before the old ones are deleted.
void TDialogControls::ApplyDpi(int dpi) noexcept {
    dpi_ = dpi > 0 ? dpi : kDesignDpi;
    std::array<UniqueFont, static_cast<std::size_t>(cfg::FontRole::Count)> fonts;
    for (std::size_t role = 0; role < fonts.size(); ++role)
        fonts[role] = MakeFont(cfg::kFonts[role], Density());
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
            const SIZE text = CaptionSize(window, font, control.caption);
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

void TDialogControls::DpiChanged(int dpi, const RECT& suggested) noexcept {
    SetWindowPos(form_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyDpi(dpi);
}

int TDialogControls::Density() const noexcept { return MulDiv(dpi_, textScale_, kTextScaleNone); }

int TDialogControls::Scale(int value) const noexcept {
    return MulDiv(value, Density(), kDesignDpi);
}

void TDialogControls::KeepOnScreen() noexcept {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(form_, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    const RECT at = WindowRect(form_), &work = monitor.rcWork;
    const LONG left = std::max(work.left, std::min(at.left, work.right - (at.right - at.left)));
    const LONG top = std::max(work.top, std::min(at.top, work.bottom - (at.bottom - at.top)));
    if (left != at.left || top != at.top)
        SetWindowPos(form_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TDialogControls::SettingsChanged(UINT message) noexcept {
    // The common controls (the time pickers, the tips) take new system
    // colours only when told.
    if (message == WM_SYSCOLORCHANGE)
        for (HWND child = GetWindow(form_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
    highContrast_ = HighContrast();
    if (KeyboardCuesAlways()) ShowKeyboardCues();
    const int textScale = TextScale();
    const bool relaid = textScale != textScale_;
    textScale_ = textScale;
    if (relaid) {
        ApplyDpi(dpi_);
        KeepOnScreen();
    }
    RedrawWindow(form_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return relaid;
}

HBRUSH TDialogControls::LinkColours(HDC dc, HWND control) const noexcept {
    const cfg::ControlLayout* layout = LayoutOf(control);
    if (!layout || layout->kind != cfg::ControlKind::Link) return nullptr;
    SetTextColor(dc, highContrast_ ? GetSysColor(COLOR_HOTLIGHT) : cfg::kLinkColour);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    // A system colour brush: the system owns it.
    return GetSysColorBrush(COLOR_BTNFACE);
}

}  // namespace lumidial
