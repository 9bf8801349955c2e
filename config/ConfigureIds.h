// Control identifiers of the settings dialog. Shared by the dialog's layout
// and the end-to-end tests, which find each control with
// GetDlgItem(dialog, id). No Windows headers: plain numbers only.
//
// None of them is IDOK (1) or IDCANCEL (2): the dialog has neither a default
// nor a cancel button, and a command with those numbers must never reach one
// of its buttons.
#pragma once

namespace lumidial::cfg {

inline constexpr int kLabel1 = 101;                // Label1, product name
inline constexpr int kLabel2 = 102;                // Label2, maker
inline constexpr int kBevel1 = 103;                // Bevel1, frame around the settings
inline constexpr int kLabel3 = 104;                // Label3, "Settings:"
inline constexpr int kTwentyFourHour = 105;        // chkTwentyFourHour
inline constexpr int kFlashSecond = 106;           // chkFlashSecond
inline constexpr int kLabel4 = 107;                // Label4, "Clock Movement:"
inline constexpr int kClockMove = 108;             // cmbClockMove
inline constexpr int kClockMoveIntervalLabel = 109; // lblClockMoveInterval
inline constexpr int kClockMoveInterval = 110;     // cmbClockMoveInterval
inline constexpr int kCountDown = 111;             // chkCountDown (hidden)
inline constexpr int kCountDownTime = 112;         // dtCountDownTime (hidden)
inline constexpr int kLabel5 = 113;                // Label5, "Download other free software from:"
inline constexpr int kLabel6 = 114;                // Label6, the web address
inline constexpr int kOk = 115;                    // btnOk
inline constexpr int kCancel = 116;                // btnCancel
inline constexpr int kClockOnEveryMonitor = 117;   // chkClockOnEveryMonitor, on several monitors only

// The dialog's window class; its caption is "Configure " + the title.
inline constexpr wchar_t kFormClass[] = L"TConfigureForm";

}  // namespace lumidial::cfg
