// The settings dialog as designed (DialogLayout.h says what the tables
// hold): pixels at 96 DPI, controls in tab order.
#pragma once

#include "ClockDesign.h"
#include "ConfigureIds.h"
#include "DialogLayout.h"

namespace lumidial::cfg {

inline constexpr FormLayout kForm{408, 237, 363, 353};

// On a desk of several monitors one more row below the settings, for the
// clock on every monitor.
inline constexpr int kSeveralMonitorsRow = 28;

inline constexpr wchar_t kWebAddressText[] = L"https://www.orvane.example/";
// The same address for the shell; kept next to the caption so the two stay
// one address.
inline constexpr char kWebAddress[] = "https://www.orvane.example/";

// Creation order: it is the tab order, and the order the tests walk.
inline constexpr ControlLayout kControls[] = {
    {kLabel1, ControlKind::Label, 8, 8, 345, 29, L"Lumidial", FontRole::Title,
     TextAlign::Centre, true, true, false, nullptr},
    {kLabel2, ControlKind::Label, 68, 42, 282, 19, L"by Orvane", FontRole::Maker,
     TextAlign::Right, true, true, false, nullptr},
    {kBevel1, ControlKind::Bevel, 8, 72, 345, 233, L"", FontRole::Control, TextAlign::Left, true,
     true, false, nullptr, false, OnSeveralMonitors::GrowsDown},
    {kLabel3, ControlKind::Label, 22, 84, 61, 16, L"Settings:", FontRole::Heading,
     TextAlign::Left, true, true, false, nullptr, true},
    {kTwentyFourHour, ControlKind::CheckBox, 38, 108, 233, 17, L"&Display in 24 hour format",
     FontRole::Control, TextAlign::Left, true, true, true,
     L"Specify whether to display the time in 24 hour format (e.g. 15:32) or 12 hour format"},
    {kFlashSecond, ControlKind::CheckBox, 38, 136, 249, 17,
     L"&Flash the time separator each second", FontRole::Control, TextAlign::Left, true, true,
     true, L"Specify whether the colon separator should flash each second"},
    {kLabel4, ControlKind::Label, 38, 166, 83, 13, L"&Clock Movement:", FontRole::Control,
     TextAlign::Left, true, true, false, nullptr, true},
    {kClockMove, ControlKind::DropDownList, 134, 162, 145, 21, L"", FontRole::Control,
     TextAlign::Left, true, true, true,
     L"Specify whether the position of the time should change in order to prevent burn in"},
    {kClockMoveIntervalLabel, ControlKind::Label, 62, 196, 91, 13, L"Movement &Interval:",
     FontRole::Control, TextAlign::Left, true, true, false, nullptr, true},
    {kClockMoveInterval, ControlKind::DropDownList, 174, 188, 105, 21, L"", FontRole::Control,
     TextAlign::Left, true, true, true, L"Specify how frequently the time position should change"},
    {kCountDown, ControlKind::CheckBox, 280, 88, 97, 17, L"chkCountDown", FontRole::Control,
     TextAlign::Left, false, true, true, nullptr},
    {kCountDownTime, ControlKind::TimePicker, 280, 112, 97, 21, L"", FontRole::Control,
     TextAlign::Left, false, false, true, nullptr},
    {kClockOnEveryMonitor, ControlKind::CheckBox, 38, 216, 249, 17, L"&Show the clock on every monitor",
     FontRole::Control, TextAlign::Left, true, true, true,
     L"Specify whether to show the time on every monitor or on the primary monitor only", false,
     OnSeveralMonitors::OnlyThere},
    {kLabel5, ControlKind::Label, 22, 236, 294, 19, L"Download other free software from:",
     FontRole::Download, TextAlign::Left, true, true, false, nullptr, true, OnSeveralMonitors::MovesDown},
    // Reached by Tab between the last setting and the buttons.
    {kLabel6, ControlKind::Link, 24, 268, 313, 19, kWebAddressText, FontRole::Link,
     TextAlign::Centre, true, true, true, L"Open the Orvane web site in your default browser", false,
     OnSeveralMonitors::MovesDown},
    // In the free space left of OK, as high; the look the clock shows is
    // chosen in a dialog of its own.
    {kAppearance, ControlKind::Button, 8, 315, 87, 25, L"&Appearance\u2026", FontRole::Control,
     TextAlign::Left, true, true, true, nullptr, false, OnSeveralMonitors::MovesDown},
    {kOk, ControlKind::Button, 176, 315, 82, 25, L"OK", FontRole::Control, TextAlign::Left, true,
     true, true, nullptr, false, OnSeveralMonitors::MovesDown},
    {kCancel, ControlKind::Button, 264, 315, 87, 25, L"Cancel", FontRole::Control,
     TextAlign::Left, true, true, true, nullptr, false, OnSeveralMonitors::MovesDown},
};

// Entries of the drop-down lists, in index order: the index is what the
// settings store.
inline constexpr const wchar_t* kClockMoveItems[] = {L"None", L"Horizontal", L"Vertical",
                                                     L"Horizontal and Vertical"};
inline constexpr const wchar_t* kClockMoveIntervalItems[] = {L"Slow", L"Very Slow", L"Glacial"};

inline constexpr ListLayout kLists[] = {
    {kClockMove, kClockMoveItems},
    {kClockMoveInterval, kClockMoveIntervalItems},
};

inline constexpr DialogLayout kConfigureLayout{kForm, kControls, kLists, kSeveralMonitorsRow};

// What the time picker holds before the settings are loaded: 14 January
// 2005, 12:18:01.015. Only its time of day is ever replaced, so its date is
// the date every saved count-down time carries.
inline constexpr double kDesignedCountDownTime = 38366.5125117477;

}  // namespace lumidial::cfg
