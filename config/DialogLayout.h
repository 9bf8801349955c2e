// What a dialog's layout table says (ConfigureLayout.h, AppearanceLayout.h):
// every control's kind, place, size, text, font and tool tip, in tab order,
// the window's client area and the lists' entries. The numbers are pixels at
// 96 DPI; a dialog scales them (and the font heights) to the density of its
// monitor times the user's text size when it builds itself, and again when
// it moves to another monitor or the text size changes (DialogControls.h).
// Nothing here is computed: a change to a dialog's look is a change to its
// table.
//
// A caption's '&' marks its access key (DialogText.h): every check box, the
// label of every list or picker and every button but OK and Cancel has one,
// unique in its dialog. Alt with the key focuses the control a label names
// (the next in tab order), focuses and ticks a check box, presses a button.
#pragma once

#include <array>
#include <cstddef>
#include <span>

namespace lumidial::cfg {

// The window: its outer top-left corner on the screen (not scaled: a screen
// position, not a size) and its client area.
struct FormLayout {
    int left, top, clientWidth, clientHeight;
};

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

// Indexed by FontRole; every dialog of the program has the same fonts.
inline constexpr std::array<FontLayout, static_cast<std::size_t>(FontRole::Count)> kFonts{{
    {L"MS Sans Serif", L"Microsoft Sans Serif", -11, false, false},  // Control: every control not named below
    {L"Tahoma", L"Tahoma", -24, true, false},                         // Title: the settings' Label1
    {L"Tahoma", L"Tahoma", -16, true, false},                         // Maker: Label2
    {L"MS Sans Serif", L"Microsoft Sans Serif", -13, true, false},   // Heading: Label3
    {L"Tahoma", L"Tahoma", -16, true, false},                         // Download: Label5
    {L"Tahoma", L"Tahoma", -16, true, true},                          // Link: Label6 (drawn in kLinkColour)
}};

// A link's text, a COLORREF (blue); in a high-contrast theme the system's
// colour for links (COLOR_HOTLIGHT) instead.
inline constexpr unsigned long kLinkColour = 0xFF0000;

// A Picture is drawn by its dialog (an owner-drawn static control); a Bevel
// is drawn under every other control. A Link is a label that opens its
// address: a tab stop that shows a focus rectangle, clicked by Enter or
// Space as by the mouse, a link to screen readers.
enum class ControlKind { Label, Bevel, CheckBox, DropDownList, TimePicker, Button, Picture, Link };

// On a desk of several monitors a dialog may have one more row, its layout's
// severalMonitorsRow high: the controls below it move down by the row, a
// frame around it and the client area grow by it. On one monitor the row is
// not there at all.
enum class OnSeveralMonitors { Stays, MovesDown, GrowsDown, OnlyThere };
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

struct ListLayout {
    int id;
    std::span<const wchar_t* const> items;
};

// Rows a drop-down list shows before it scrolls.
inline constexpr int kDropDownRows = 8;

// A dialog as its table lays it out.
struct DialogLayout {
    FormLayout form;
    std::span<const ControlLayout> controls;  // creation order: the tab order
    std::span<const ListLayout> lists;
    int severalMonitorsRow = 0;  // the row a desk of several monitors adds
};

}  // namespace lumidial::cfg
