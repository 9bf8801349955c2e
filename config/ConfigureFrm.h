// The settings dialog, shown in configure mode. It loads the user's choices
// into its controls, writes them back on OK and leaves them alone on Cancel
// or the close box. Its layout lives in ConfigureLayout.h, its control
// identifiers in ConfigureIds.h; its controls are made, scaled and tabbed
// between by DialogControls.h.
//
// Keyboard: Tab and Shift+Tab move between the controls in tab order, the
// web address among them; Enter presses a button only when that button has
// the focus, and opens the web address when it has; Alt with a caption's
// underlined letter reaches its control; Escape does nothing. There is
// deliberately no default and no cancel button.
//
// Its Appearance button opens the Appearance dialog (AppearanceFrm.h), which
// chooses the clock's look into this dialog's settings; OK here writes them,
// Cancel discards them with the rest.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>

#include "ConfigureLayout.h"
#include "DialogControls.h"
#include "Form.h"
#include "ScopedWin.h"
#include "ShellOpener.h"

namespace lumidial {

class TSettings;

class TConfigureForm final : public TForm {
public:
    TConfigureForm();
    ~TConfigureForm() override;

    void Show() override;
    bool PreTranslateMessage(MSG& message) override;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Handlers.
    void FormCreate();
    void FormDestroy() noexcept;
    void cmbClockMoveChange();
    void chkCountDownClick();
    void btnOkClick();
    void btnCancelClick();
    void btnAppearanceClick();
    void SaveFailed(DWORD error) noexcept;
    void Label6Click() noexcept;

    // Message plumbing: each decodes one message for the handlers above.
    void CommandReceived(int id, int code, HWND control);
    LRESULT StaticColour(HDC dc, HWND control) noexcept;
    bool ControlCursor(HWND control, int hitTest) noexcept;
    void DpiChanged(int dpi, const RECT& suggested) noexcept;

    // The controls' handles, once the layout made them.
    void FindControls() noexcept;

    // Control state.
    void SetChecked(HWND checkBox, bool checked);
    double PickerDateTime() const noexcept;
    void SetPickerTimeOfDay(double value) noexcept;

    std::unique_ptr<TSettings> Settings;

    // The children the handlers read or set, destroyed with this window;
    // the others (Label1 to Label5, Bevel1, the buttons) only show and send
    // their commands.
    HWND chkTwentyFourHour = nullptr;
    HWND chkFlashSecond = nullptr;
    HWND cmbClockMove = nullptr;
    HWND lblClockMoveInterval = nullptr;
    HWND cmbClockMoveInterval = nullptr;
    HWND chkCountDown = nullptr;
    HWND dtCountDownTime = nullptr;
    HWND Label6 = nullptr;
    // Only on a desk of several monitors.
    HWND chkClockOnEveryMonitor = nullptr;

    // Made from the layout table, sized for the density, tabbed between.
    std::optional<TDialogControls> controls_;
    // The shell, once the web address was clicked.
    TShellOpener browser_;
};

}  // namespace lumidial
