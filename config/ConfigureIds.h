// Control identifiers of the settings dialog and of its Appearance dialog
// (a range of their own, so that no identifier means a control in both).
// Shared by the dialog's layout
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
inline constexpr int kAppearance = 118;            // btnAppearance, opens the Appearance dialog

// The dialog's window class; its caption is "Configure " + the title.
inline constexpr wchar_t kFormClass[] = L"TConfigureForm";

// The Appearance dialog's, in tab order.
inline constexpr int kLookBevel = 201;       // frame around the choices
inline constexpr int kColourLabel = 202;     // "Colour:"
inline constexpr int kColourSwatch = 203;    // the chosen colour
inline constexpr int kChooseColour = 204;    // "Choose…", the system's colour dialog
inline constexpr int kResetColour = 205;     // "Reset", the design's green
inline constexpr int kSizeLabel = 206;       // "Size:"
inline constexpr int kClockSize = 207;       // the size's list
inline constexpr int kLeadingZero = 208;     // "Show the leading zero"
inline constexpr int kDimAtNight = 209;      // "Dim at night from"
inline constexpr int kDimFrom = 210;         // its first time
inline constexpr int kDimToLabel = 211;      // "to"
inline constexpr int kDimTo = 212;           // its second time
inline constexpr int kSampleLabel = 213;     // "Sample:"
inline constexpr int kSample = 214;          // the preview picture in the chosen look
inline constexpr int kAppearanceOk = 215;
inline constexpr int kAppearanceCancel = 216;

// Its window class; its caption is "Appearance".
inline constexpr wchar_t kAppearanceClass[] = L"TAppearanceForm";

}  // namespace lumidial::cfg
