#include "Accessibility.h"

#include "DialogText.h"
#include "Trace.h"

#include <cstdint>
#include <optional>

namespace lumidial {

int TextScale() noexcept {
    DWORD value = 0, size = sizeof value;
    const LONG status = RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Accessibility", L"TextScaleFactor",
                                     RRF_RT_REG_DWORD, nullptr, &value, &size);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        TraceFailure(L"reading the text size; the designed one stands in", DWORD(status));
    return TextScalePercent(status == ERROR_SUCCESS ? std::optional<std::uint32_t>(value) : std::nullopt);
}

bool HighContrast() noexcept {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    if (!SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0)) {
        TraceFailure(L"asking whether high contrast is on; taken as off", GetLastError());
        return false;
    }
    return (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

bool KeyboardCuesAlways() noexcept {
    BOOL always = FALSE;
    if (!SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &always, 0)) {
        TraceFailure(L"asking whether access keys are always underlined; taken as not", GetLastError());
        return false;
    }
    return always != FALSE;
}

}  // namespace lumidial
