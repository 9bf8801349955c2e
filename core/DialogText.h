// What the dialogs make of their captions' access keys and of the user's
// text size, without Windows: the dialogs (config/) act on them, the
// native tests check them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumidial {

// A caption marks its access key with an '&' before the letter, which is
// drawn underlined, not as an '&'; "&&" draws one '&'. The key in upper
// case, or 0 when the caption has none.
wchar_t AccessKeyOf(std::wstring_view caption) noexcept;
// True when `typed` (a character as typed, either case) is the caption's key.
bool IsAccessKey(std::wstring_view caption, wchar_t typed) noexcept;
// The caption's text as drawn: without the marking '&'s.
std::wstring DrawnCaption(std::wstring_view caption);

// Windows' text size (Settings, Accessibility, Text size), stored as a
// percentage from 100 to 225 (kTextScaleNone to kTextScaleMost): the
// dialogs' fonts and layout grow by it on top of the density. A value
// outside that range, or none, counts as 100: the dialogs as designed.
inline constexpr int kTextScaleNone = 100;
inline constexpr int kTextScaleMost = 225;
int TextScalePercent(std::optional<std::uint32_t> stored) noexcept;

}  // namespace lumidial
