// The settings dialog's controls as its layout table (ConfigureLayout.h)
// declares them: made with their list items and tool tips, given the fonts,
// places and sizes of the dialog's density (again when it moves to a
// monitor of another), and the keyboard moves between them that the dialog
// implements itself: Tab and Shift+Tab in tab order, Enter on a focused
// button.
#pragma once

#include <windows.h>

#include <array>

#include "ConfigureLayout.h"
#include "ScopedWin.h"

namespace lumidial {

// The civil date and time of a date-time (days since 30 December 1899).
SYSTEMTIME ToSystemTime(double value) noexcept;

class TDialogControls {
public:
    // Makes every control of the table in `form` (the picker holding its
    // designed date-time), with the row of a desk of `severalMonitors`
    // where there are; raises when one cannot be made.
    TDialogControls(HWND form, bool severalMonitors);
    ~TDialogControls();
    TDialogControls(const TDialogControls&) = delete;
    TDialogControls& operator=(const TDialogControls&) = delete;

    // Fonts, places and sizes for `dpi`, and the client area with them.
    void ApplyDpi(int dpi) noexcept;

    // Moves the focus to the next (or previous) control in tab order.
    void MoveFocus(bool backwards) noexcept;
    // The control after `focus` in tab order (the first when `focus` is none
    // of the dialog's), skipping controls hidden, disabled or no tab stop.
    HWND NextTabStop(HWND focus, bool backwards) const noexcept;
    // Presses the focused button, if a button has the focus.
    bool PressFocusedButton() noexcept;

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
    bool severalMonitors_ = false;
    // Owned by the dialog but top-level: destroyed before it.
    UniqueWindow toolTips_;
    // One font per role of ConfigureLayout.h, made for the current density.
    std::array<UniqueFont, static_cast<std::size_t>(cfg::FontRole::Count)> fonts_;
    int dpi_ = kDesignDpi;
};

}  // namespace lumidial
