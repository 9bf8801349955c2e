// A plain black window over one monitor besides the primary, in run mode.
// The clock window owns these and keeps them in step with the monitors; they
// never take activation, so keys keep going to the clock window, and what
// input they do get is handed to it through Events.
#pragma once

#include <windows.h>

#include "Controls.h"
#include "Form.h"
#include "MonitorLayout.h"

#include <memory>
#include <vector>

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

// The covers of every monitor but the primary, kept in step with the
// monitors as they come, go, move and change size. Owned by the clock
// window in run mode; input they get goes to `events`.
class TMonitorCovers {
public:
    // Owned by `owner`, each kept just below `clock`.
    TMonitorCovers(HWND owner, HWND clock, ControlEvents events) noexcept
        : owner_(owner), clock_(clock), events_(std::move(events)) {}

    // Looks at the monitors and covers them anew where they changed. True
    // when they changed since the last look (not at the first). Raises when
    // a cover cannot be made; the next look tries again.
    bool Follow();

private:
    struct DeskLayout {
        std::vector<ScreenRect> monitors;
        ScreenRect primary;
        bool operator==(const DeskLayout&) const = default;
    };
    static DeskLayout CurrentMonitors();
    void Cover(DeskLayout layout);

    HWND owner_ = nullptr;
    HWND clock_ = nullptr;
    ControlEvents events_;
    DeskLayout monitors_;
    std::vector<std::unique_ptr<TCoverForm>> covers_;
};

}  // namespace lumidial
