// The settings dialog as designed: every control's kind, place, size, text,
// font and tool tip, in tab order. The numbers are pixels at 96 DPI; the
// dialog scales them (and the font heights) to the density of its monitor
// when it builds itself, and again when it moves to another monitor.
// Nothing here is computed: a change to the dialog's look is a change to
// these tables.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "ClockDesign.h"
#include "ConfigureIds.h"

namespace lumidial::cfg {

// The window: its outer top-left corner on the screen (not scaled: a screen
// position, not a size) and its client area.
struct FormLayout {
    int left, top, clientWidth, clientHeight;
};
inline constexpr FormLayout kForm{408, 237, 363, 353};

enum class FontRole : std::size_t { Control, Title, Maker, Heading, Download, Link, Count };

struct FontLayout {
    const wchar_t* face;
    // The face at any other density: "MS Sans Serif" is a bitmap font made
    // for 96 DPI, blocky or the wrong size when scaled; "Microsoft Sans
    // Serif" is its TrueType twin, with the same metrics.
    const wchar_t* scaledFace;
    int height;  // character height in pixels (negative, as LOGFONT takes it)
    bool bold;
    bool underline;
};

// Indexed by FontRole.
inline constexpr std::array<FontLayout, static_cast<std::size_t>(FontRole::Count)> kFonts{{
    {L"MS Sans Serif", L"Microsoft Sans Serif", -11, false, false},  // Control: every control not named below
    {L"Tahoma", L"Tahoma", -24, true, false},                         // Title: Label1
    {L"Tahoma", L"Tahoma", -16, true, false},                         // Maker: Label2
    {L"MS Sans Serif", L"Microsoft Sans Serif", -13, true, false},   // Heading: Label3
    {L"Tahoma", L"Tahoma", -16, true, false},                         // Download: Label5
    {L"Tahoma", L"Tahoma", -16, true, true},                          // Link: Label6 (drawn blue)
}};

enum class ControlKind { Label, Bevel, CheckBox, DropDownList, TimePicker, Button };

// On a desk of several monitors the dialog has one more row below the
// settings, kSeveralMonitorsRow high, for the clock on every monitor: the
// controls below it move down by the row, the frame around the settings and
// the client area grow by it. On one monitor the row is not there at all.
enum class OnSeveralMonitors { Stays, MovesDown, GrowsDown, OnlyThere };
inline constexpr int kSeveralMonitorsRow = 28;
enum class TextAlign { Left, Centre, Right };

struct ControlLayout {
    int id;
    ControlKind kind;
    int left, top, width, height;
    const wchar_t* caption;
    FontRole font;
    TextAlign align;
    bool visible;
    bool enabled;
    bool tabStop;
    const wchar_t* hint;  // nullptr: no tool tip
    // A label that grows to fit its text where the system's font is wider
    // than the one it was designed with; never smaller than its layout.
    bool autoSize = false;
    OnSeveralMonitors severalMonitors = OnSeveralMonitors::Stays;
};

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
    {kTwentyFourHour, ControlKind::CheckBox, 38, 108, 233, 17, L"Display in 24 hour format",
     FontRole::Control, TextAlign::Left, true, true, true,
     L"Specify whether to display the time in 24 hour format (e.g. 15:32) or 12 hour format"},
    {kFlashSecond, ControlKind::CheckBox, 38, 136, 249, 17,
     L"Flash the time separator each second", FontRole::Control, TextAlign::Left, true, true,
     true, L"Specify whether the colon separator should flash each second"},
    {kLabel4, ControlKind::Label, 38, 166, 83, 13, L"Clock Movement:", FontRole::Control,
     TextAlign::Left, true, true, false, nullptr, true},
    {kClockMove, ControlKind::DropDownList, 134, 162, 145, 21, L"", FontRole::Control,
     TextAlign::Left, true, true, true,
     L"Specify whether the position of the time should change in order to prevent burn in"},
    {kClockMoveIntervalLabel, ControlKind::Label, 62, 196, 91, 13, L"Movement Interval:",
     FontRole::Control, TextAlign::Left, true, true, false, nullptr, true},
    {kClockMoveInterval, ControlKind::DropDownList, 174, 188, 105, 21, L"", FontRole::Control,
     TextAlign::Left, true, true, true, L"Specify how frequently the time position should change"},
    {kCountDown, ControlKind::CheckBox, 280, 88, 97, 17, L"chkCountDown", FontRole::Control,
     TextAlign::Left, false, true, true, nullptr},
    {kCountDownTime, ControlKind::TimePicker, 280, 112, 97, 21, L"", FontRole::Control,
     TextAlign::Left, false, false, true, nullptr},
    {kClockOnEveryMonitor, ControlKind::CheckBox, 38, 216, 249, 17, L"Show the clock on every monitor",
     FontRole::Control, TextAlign::Left, true, true, true,
     L"Specify whether to show the time on every monitor or on the primary monitor only", false,
     OnSeveralMonitors::OnlyThere},
    {kLabel5, ControlKind::Label, 22, 236, 294, 19, L"Download other free software from:",
     FontRole::Download, TextAlign::Left, true, true, false, nullptr, true, OnSeveralMonitors::MovesDown},
    {kLabel6, ControlKind::Label, 24, 268, 313, 19, kWebAddressText, FontRole::Link,
     TextAlign::Centre, true, true, false, L"Open the Orvane web site in your default browser", false,
     OnSeveralMonitors::MovesDown},
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

struct ListLayout {
    int id;
    std::span<const wchar_t* const> items;
};
inline constexpr ListLayout kLists[] = {
    {kClockMove, kClockMoveItems},
    {kClockMoveInterval, kClockMoveIntervalItems},
};

// Rows a drop-down list shows before it scrolls.
inline constexpr int kDropDownRows = 8;

// What the time picker holds before the settings are loaded: 14 January
// 2005, 12:18:01.015. Only its time of day is ever replaced, so its date is
// the date every saved count-down time carries.
inline constexpr double kDesignedCountDownTime = 38366.5125117477;

}  // namespace lumidial::cfg
