// A plain black window over one monitor besides the primary, in run mode.
// The clock window owns these and keeps them in step with the monitors; they
// never take activation, so keys keep going to the clock window, and what
// input they do get is handed to it through Events.
#pragma once

#include <windows.h>

#include "Controls.h"
#include "Form.h"
#include "MonitorLayout.h"

namespace lumidial {

class TCoverForm final : public TWindow {
public:
    // Created hidden, owned by `owner`, over `monitor`.
    TCoverForm(HWND owner, const ScreenRect& monitor);
    ~TCoverForm() override { DestroyHandle(); }

    // Covers `monitor` and shows, just below `above` in the top-most band,
    // without activating.
    void Cover(const ScreenRect& monitor, HWND above) noexcept;

    ControlEvents Events;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace lumidial
