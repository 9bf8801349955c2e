// The Appearance dialog as designed (DialogLayout.h says what the tables
// hold): pixels at 96 DPI, controls in tab order. The choices sit in a frame
// as the settings do, each row's caption at the frame's inner margin, with
// OK and Cancel where the settings dialog has them.
#pragma once

#include "ConfigureIds.h"
#include "DialogLayout.h"

namespace lumidial::cfg {

// Not at a place of its own on the screen: the dialog stands centred over
// the settings dialog (AppearanceFrm.cpp); left and top are unused.
inline constexpr FormLayout kAppearanceForm{0, 0, 363, 338};

inline constexpr wchar_t kAppearanceCaption[] = L"Appearance";

inline constexpr ControlLayout kAppearanceControls[] = {
    {kLookBevel, ControlKind::Bevel, 8, 8, 347, 282, L"", FontRole::Control, TextAlign::Left, true,
     true, false, nullptr},
    {kColourLabel, ControlKind::Label, 22, 28, 60, 13, L"Colour:", FontRole::Control, TextAlign::Left,
     true, true, false, nullptr, true},
    {kColourSwatch, ControlKind::Picture, 96, 24, 41, 21, L"", FontRole::Control, TextAlign::Left,
     true, true, false, nullptr},
    {kChooseColour, ControlKind::Button, 145, 22, 75, 25, L"&Choose\u2026", FontRole::Control,
     TextAlign::Left, true, true, true, L"Choose the colour the clock's digits shine in"},
    {kResetColour, ControlKind::Button, 228, 22, 75, 25, L"&Reset", FontRole::Control,
     TextAlign::Left, true, true, true, L"Give the clock its designed green again"},
    {kSizeLabel, ControlKind::Label, 22, 64, 60, 13, L"&Size:", FontRole::Control, TextAlign::Left,
     true, true, false, nullptr, true},
    {kClockSize, ControlKind::DropDownList, 96, 60, 145, 21, L"", FontRole::Control,
     TextAlign::Left, true, true, true,
     L"Specify how large the clock is: as designed, half as large again, or as large as the screen allows"},
    {kLeadingZero, ControlKind::CheckBox, 22, 94, 249, 17, L"Show the &leading zero",
     FontRole::Control, TextAlign::Left, true, true, true,
     L"Specify whether an hour below 10 shows its leading zero (e.g. 09:43)"},
    {kDimAtNight, ControlKind::CheckBox, 22, 122, 125, 17, L"&Dim at night from", FontRole::Control,
     TextAlign::Left, true, true, true,
     L"Specify whether the clock shines less brightly between the two times"},
    {kDimFrom, ControlKind::TimePicker, 150, 120, 81, 21, L"", FontRole::Control, TextAlign::Left,
     true, false, true, nullptr},
    {kDimToLabel, ControlKind::Label, 238, 124, 14, 13, L"&to", FontRole::Control, TextAlign::Left,
     true, true, false, nullptr, true},
    {kDimTo, ControlKind::TimePicker, 258, 120, 81, 21, L"", FontRole::Control, TextAlign::Left,
     true, false, true, nullptr},
    {kSampleLabel, ControlKind::Label, 22, 160, 60, 13, L"Sample:", FontRole::Control,
     TextAlign::Left, true, true, false, nullptr, true},
    // The host's preview picture, kPreviewWidth x kPreviewHeight.
    {kSample, ControlKind::Picture, 96, 156, 160, 120, L"", FontRole::Control, TextAlign::Left,
     true, true, false, nullptr},
    {kAppearanceOk, ControlKind::Button, 176, 300, 82, 25, L"OK", FontRole::Control,
     TextAlign::Left, true, true, true, nullptr},
    {kAppearanceCancel, ControlKind::Button, 264, 300, 87, 25, L"Cancel", FontRole::Control,
     TextAlign::Left, true, true, true, nullptr},
};

// In index order: the index is what the settings store as ClockSize.
inline constexpr const wchar_t* kClockSizeItems[] = {L"As designed", L"Large", L"Fill the screen"};

inline constexpr ListLayout kAppearanceLists[] = {
    {kClockSize, kClockSizeItems},
};

inline constexpr DialogLayout kAppearanceLayout{kAppearanceForm, kAppearanceControls, kAppearanceLists};

}  // namespace lumidial::cfg
