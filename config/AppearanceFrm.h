// The Appearance dialog, opened modal by the settings dialog's Appearance
// button: the clock's colour (the system's colour dialog, or back to the
// design's green), its size, the hour's leading zero and the dimming at
// night, with a sample of the clock in the chosen colour, dimmed when the
// dimming is ticked. Its OK copies the choices into the settings dialog's
// TSettings and marks each value the user changed for writing; its Cancel,
// Escape or the close box change nothing. Only the settings dialog's OK
// writes. Its layout lives in AppearanceLayout.h.
//
// Keyboard as in the settings dialog (Tab and Shift+Tab, Enter on a focused
// button, Alt with an access key), but Escape closes it like Cancel: it
// only leaves the visit, and the settings dialog stays open with everything
// else; the colour dialog it opens does the same.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>

#include "ClockLook.h"
#include "DialogControls.h"
#include "Form.h"
#include "ScopedWin.h"

namespace lumidial {

class TSettings;

class TAppearanceForm final : public TForm {
public:
    // Made hidden, centred over `owner` (the settings dialog), showing the
    // look in `settings`, which its OK changes: the settings outlive it.
    TAppearanceForm(HWND owner, TSettings& settings);
    ~TAppearanceForm() override;

    void Show() override;
    bool PreTranslateMessage(MSG& message) override;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Handlers.
    void FormCreate();
    void btnChooseClick();
    void btnResetClick() noexcept;
    void chkDimAtNightClick() noexcept;
    void btnOkClick() noexcept;
    void btnCancelClick() noexcept;

    // Message plumbing: each decodes one message for the handlers above.
    void CommandReceived(int id, int code, HWND control);
    void DrawItem(const DRAWITEMSTRUCT& item) noexcept;
    void DpiChanged(int dpi, const RECT& suggested) noexcept;

    // The swatch and the sample.
    void LookChanged() noexcept;
    ColourTable SampleColours() const noexcept;
    void MakeSample(int density) noexcept;
    void DrawSwatch(HDC dc, const RECT& area) const noexcept;
    void DrawSample(HDC dc, const RECT& area) const noexcept;

    // Centred over the owner, then kept whole on the work area of its monitor.
    void PlaceOverOwner(HWND owner) noexcept;

    // Control state.
    void SetChecked(HWND checkBox, bool checked);
    static void SetPickerMinutes(HWND picker, int minutes) noexcept;
    static int PickerMinutes(HWND picker, int otherwise) noexcept;

    TSettings& settings_;
    // The colour chosen so far, a COLORREF.
    std::uint32_t colour_;

    // The children the handlers read or set, destroyed with this window.
    HWND swatch_ = nullptr;
    HWND cmbClockSize = nullptr;
    HWND chkLeadingZero = nullptr;
    HWND chkDimAtNight = nullptr;
    HWND dtDimFrom = nullptr;
    HWND dtDimTo = nullptr;
    HWND sample_ = nullptr;

    // The preview picture at the dialog's density, in the sample's colours.
    UniqueBitmap samplePicture_;
    // The colour dialog's library, once "Choose…" was clicked, and the
    // custom colours the user keeps in it during the visit.
    UniqueLibrary colourDialog_;
    std::array<COLORREF, 16> customColours_{};

    std::optional<TDialogControls> controls_;
};

}  // namespace lumidial
