#include "DialogText.h"

#include <cwctype>

namespace lumidial {

wchar_t AccessKeyOf(std::wstring_view caption) noexcept {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != L'&') continue;
        if (caption[i + 1] != L'&') return static_cast<wchar_t>(std::towupper(caption[i + 1]));
        ++i;  // "&&": an ampersand, not a mark
    }
    return 0;
}

bool IsAccessKey(std::wstring_view caption, wchar_t typed) noexcept {
    const wchar_t key = AccessKeyOf(caption);
    return key != 0 && key == static_cast<wchar_t>(std::towupper(typed));
}

std::wstring DrawnCaption(std::wstring_view caption) {
    std::wstring drawn;
    drawn.reserve(caption.size());
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size()) ++i;
        drawn += caption[i];
    }
    return drawn;
}

int TextScalePercent(std::optional<std::uint32_t> stored) noexcept {
    if (!stored || *stored < kTextScaleNone || *stored > kTextScaleMost) return kTextScaleNone;
    return static_cast<int>(*stored);
}

}  // namespace lumidial
