#include "DialogTips.h"

#include "Application.h"
#include "Trace.h"

#include <commctrl.h>

namespace lumidial {

namespace {

// The tool the keyboard's tips show in: one of the dialog's tool tips
// window, by a number no window handle has (the hover tips' tools are
// their controls' handles); also its timer.
constexpr UINT_PTR kKeyboardTip = 1;

TTTOOLINFOW KeyboardTool(HWND form) noexcept {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = form;
    tool.uId = kKeyboardTip;
    return tool;
}

// The tips window is owned by the dialog, whose tool the tip is.
void CALLBACK TipTimeIsUp(HWND tips, UINT, UINT_PTR timer, DWORD) noexcept {
    KillTimer(tips, timer);
    TTTOOLINFOW tool = KeyboardTool(GetWindow(tips, GW_OWNER));
    SendMessageW(tips, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace

TDialogTips::TDialogTips(HWND form, const cfg::DialogLayout& layout) noexcept : form_(form) {
    window_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, form_, nullptr,
                                  Application->Instance(), nullptr));
    if (!window_) {
        TraceFailure(L"making a dialog's tool tips", GetLastError());
        return;
    }
    for (const cfg::ControlLayout& control : layout.controls) {
        HWND window = GetDlgItem(form_, control.id);
        if (!control.hint || !window) continue;
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = form_;
        tool.uId = reinterpret_cast<UINT_PTR>(window);
        tool.lpszText = const_cast<wchar_t*>(control.hint);  // copied by the control
        SendMessageW(window_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    // Placed and shown by the dialog, not by the pointer.
    TTTOOLINFOW keyboard = KeyboardTool(form_);
    keyboard.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    keyboard.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(window_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&keyboard));
}

void TDialogTips::ShowBelow(HWND control, const wchar_t* hint) noexcept {
    Hide();
    if (!window_) return;
    TTTOOLINFOW tool = KeyboardTool(form_);
    tool.lpszText = const_cast<wchar_t*>(hint);
    SendMessageW(window_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    RECT below{};
    GetWindowRect(control, &below);
    SendMessageW(window_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(below.left, below.bottom));
    SendMessageW(window_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    // As long as a tip shown by the pointer stays.
    const auto shown = SendMessageW(window_.get(), TTM_GETDELAYTIME, TTDT_AUTOPOP, 0);
    if (!SetTimer(window_.get(), kKeyboardTip, static_cast<UINT>(shown), &TipTimeIsUp))
        TraceFailure(L"timing the keyboard's tool tip", GetLastError());
}

void TDialogTips::Hide() noexcept {
    if (!window_) return;
    KillTimer(window_.get(), kKeyboardTip);
    TTTOOLINFOW tool = KeyboardTool(form_);
    SendMessageW(window_.get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace lumidial
