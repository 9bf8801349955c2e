// A dialog's controls as its layout table (DialogLayout.h) declares them:
// made with their list items and tool tips, given the fonts, places and
// sizes of the dialog's density times the user's text size (again when it
// moves to a monitor of another density or the text size changes), and the
// keyboard moves between them that the dialogs implement themselves: Tab
// and Shift+Tab in tab order, Enter on a focused button or link (Space too
// on a link; the link itself is DialogLink.h's), Alt with an access key. A
// control the keyboard focuses shows its tool tip below it (DialogTips.h)
// until a key or a click, or the tip's usual time, passes; screen readers
// get each tip as the control's description and the link's role
// (ScreenReaderNotes.h). Access keys are underlined once Alt is
// pressed, or always where the user asks for it. In a high-contrast theme
// the link takes the system's colour for links; every other colour is the
// system's already.
#pragma once

#include <windows.h>

#include <array>
#include <optional>

#include "ClockDesign.h"
#include "DialogLayout.h"
#include "DialogTips.h"
#include "ScopedWin.h"
#include "ScreenReaderNotes.h"

namespace lumidial {

// The civil date and time of a date-time (days since 30 December 1899).
SYSTEMTIME ToSystemTime(double value) noexcept;
bool Checked(HWND checkBox) noexcept;

class TDialogControls {
public:
    // Makes every control of `layout` in `form`, with the row of a desk of
    // `severalMonitors` where the layout has one; raises when one cannot be
    // made. The layout is a table of the program's: it outlives the dialog.
    TDialogControls(HWND form, const cfg::DialogLayout& layout, bool severalMonitors = false);
    ~TDialogControls();
    TDialogControls(const TDialogControls&) = delete;
    TDialogControls& operator=(const TDialogControls&) = delete;

    // Fonts, places and sizes for `dpi` times the text size, and the client
    // area with them.
    void ApplyDpi(int dpi) noexcept;
    // WM_DPICHANGED: the dialog where Windows suggests, laid out for `dpi`.
    void DpiChanged(int dpi, const RECT& suggested) noexcept;
    // The density the controls are laid out for: the monitor's times the
    // user's text size.
    int Density() const noexcept;
    // Moves the dialog as little as needed to show it whole on its monitor's
    // work area (from its top-left corner where it cannot fit).
    void KeepOnScreen() noexcept;
    // A setting or the system's colours changed (WM_SETTINGCHANGE, or
    // WM_SYSCOLORCHANGE, which is passed on to the controls): the text size,
    // high contrast and keyboard cues are read again and followed. True
    // when the text size changed and the controls were laid out again.
    bool SettingsChanged(UINT message) noexcept;
    // WM_CTLCOLORSTATIC: the colours of a link and the brush behind it;
    // nullptr for any other control, which takes the system's.
    HBRUSH LinkColours(HDC dc, HWND control) const noexcept;

    // The keys the dialogs handle themselves, in a message queued for the
    // dialog or one of its controls: Tab and Shift+Tab (without Ctrl or Alt)
    // move the focus, Enter presses a focused button or link, Space a
    // focused link, Alt with a letter an access key; true when taken.
    // Anything else, Escape included, goes on to the focused control.
    bool TranslateKey(const MSG& message) noexcept;
    // Moves the focus to the next (or previous) control in tab order.
    void MoveFocus(bool backwards) noexcept;
    // The control after `focus` in tab order (the first when `focus` is none
    // of the dialog's), skipping controls hidden, disabled or no tab stop.
    HWND NextTabStop(HWND focus, bool backwards) const noexcept;
    // Presses the focused button or link, if one has the focus.
    bool PressFocused() noexcept;
    // Alt with `key` as Windows does it in a dialog, for a visible and
    // enabled control whose caption marks the key: a label focuses the
    // control after it in tab order, a check box is focused and ticked or
    // cleared, a button pressed. False when no control has that key.
    bool AccessKey(wchar_t key) noexcept;
    // The focused button is drawn as the one Enter presses (a button's
    // BN_SETFOCUS and BN_KILLFOCUS, which BS_NOTIFY sends).
    static void ButtonFocusChanged(HWND button, bool focused) noexcept;

    // Activation gives the focus to the dialog itself; RestoreFocus hands it
    // to the control that had it when the dialog last lost activation
    // (RememberFocus), or the first in tab order.
    void RestoreFocus() noexcept;
    void RememberFocus() noexcept;

private:
    void CreateControls();
    // The tip of the control the keyboard focused, below it; hidden by the
    // next key or click, a change of activation or the tip's usual time.
    void ShowKeyboardTip(HWND control) noexcept;
    // Access keys and focus rectangles shown, as the keyboard is in use.
    void ShowKeyboardCues() noexcept;
    void PlaceControls() noexcept;
    void FitComboHeight(HWND combo, int height) noexcept;
    void FitClientArea() noexcept;
    int Scale(int value) const noexcept;
    // The control's designed place and size on this desk, at 96 DPI.
    RECT Designed(const cfg::ControlLayout& control) const noexcept;
    const cfg::ControlLayout* LayoutOf(HWND control) const noexcept;

    HWND form_ = nullptr;
    const cfg::DialogLayout& layout_;
    bool severalMonitors_ = false;
    std::optional<TDialogTips> tips_;
    // One font per role of DialogLayout.h, made for the current density.
    std::array<UniqueFont, static_cast<std::size_t>(cfg::FontRole::Count)> fonts_;
    int dpi_ = kDesignDpi;
    int textScale_;  // percent
    bool highContrast_;
    HWND lastFocus_ = nullptr;
    // Made before the controls are annotated, cleared before they go.
    TScreenReaderNotes notes_;
};

}  // namespace lumidial
