// A dialog's controls as its layout table (DialogLayout.h) declares them:
// made with their list items and tool tips, given the fonts, places and
// sizes of the dialog's density (again when it moves to a monitor of
// another), and the keyboard moves between them that the dialogs implement
// themselves: Tab and Shift+Tab in tab order, Enter on a focused button.
#pragma once

#include <windows.h>

#include <array>

#include "ClockDesign.h"
#include "DialogLayout.h"
#include "ScopedWin.h"

namespace lumidial {

// The civil date and time of a date-time (days since 30 December 1899).
SYSTEMTIME ToSystemTime(double value) noexcept;

class TDialogControls {
public:
    // Makes every control of `layout` in `form`, with the row of a desk of
    // `severalMonitors` where the layout has one; raises when one cannot be
    // made. The layout is a table of the program's: it outlives the dialog.
    TDialogControls(HWND form, const cfg::DialogLayout& layout, bool severalMonitors = false);
    ~TDialogControls();
    TDialogControls(const TDialogControls&) = delete;
    TDialogControls& operator=(const TDialogControls&) = delete;

    // Fonts, places and sizes for `dpi`, and the client area with them.
    void ApplyDpi(int dpi) noexcept;

    // The keys the dialogs handle themselves, in a message queued for the
    // dialog or one of its controls: Tab and Shift+Tab (without Ctrl or Alt)
    // move the focus, Enter presses a focused button; true when taken.
    // Anything else, Escape included, goes on to the focused control.
    bool TranslateKey(const MSG& message) noexcept;
    // Moves the focus to the next (or previous) control in tab order.
    void MoveFocus(bool backwards) noexcept;
    // The control after `focus` in tab order (the first when `focus` is none
    // of the dialog's), skipping controls hidden, disabled or no tab stop.
    HWND NextTabStop(HWND focus, bool backwards) const noexcept;
    // Presses the focused button, if a button has the focus.
    bool PressFocusedButton() noexcept;
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
    void CreateToolTips();
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
    // Owned by the dialog but top-level: destroyed before it.
    UniqueWindow toolTips_;
    // One font per role of DialogLayout.h, made for the current density.
    std::array<UniqueFont, static_cast<std::size_t>(cfg::FontRole::Count)> fonts_;
    int dpi_ = kDesignDpi;
    HWND lastFocus_ = nullptr;
};

}  // namespace lumidial
