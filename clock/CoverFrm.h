// A black window over one monitor besides the primary, in run mode, with a
// clock of its own when the user asks for the clock on every monitor. The
// clock window owns these and keeps them in step with the monitors; they
// never take activation, so keys keep going to the clock window, and what
// input they do get is handed to it through Events.
#pragma once

#include <windows.h>

#include "ClockPanel.h"
#include "Controls.h"
#include "Dpi.h"
#include "Form.h"
#include "MonitorLayout.h"

#include <memory>
#include <optional>
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

    // The clock on this monitor, fitted to it at its density and the `size`
    // chosen: made the first time, in `colours`, laid out anew when the
    // monitor changed size or density, left alone when it did not. It shows
    // `time` at once where there is one. Raises when the clock cannot be
    // made or laid out; the next call tries again.
    void FitClock(const DisplayMonitor& monitor, int size, const ColourTable& colours,
                  const std::optional<ClockTime>& time);
    // Its clock, if it has one.
    TClockPanel* Clock() noexcept { return clock_ ? &*clock_ : nullptr; }
    // The monitor its clock is fitted to.
    const DisplayMonitor& ClockMonitor() const noexcept { return clockMonitor_; }

    ControlEvents Events;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    std::optional<TClockPanel> clock_;
    DisplayMonitor clockMonitor_;
};

// The windows over every monitor but the primary, kept in step with the
// monitors as they come, go, move, change size and, with clocks, density.
// Owned by the clock window in run mode; input they get goes to `events`.
class TMonitorCovers {
public:
    // Owned by `owner`, each kept just below `clock`; each with a clock of
    // its own when `clocks`, of the `size` chosen, in `colours`.
    TMonitorCovers(HWND owner, HWND clock, ControlEvents events, bool clocks, int size,
                   const ColourTable& colours) noexcept;

    // Looks at the monitors and covers them anew where they changed. True
    // when they changed since the last look (not at the first). Raises when
    // a cover or its clock cannot be made; the next look tries again.
    bool Follow();

    // Every other monitor's clock shows `time`, and each one made later
    // shows it at once.
    void ShowTime(const ClockTime& time);
    // Every other monitor's clock one drift step, within its own monitor.
    void Step(int direction) noexcept;
    // Every other monitor's clock, and each one made later, in `colours`;
    // false when the system refused a picture.
    bool SetColours(const ColourTable& colours) noexcept;

private:
    struct DeskLayout {
        std::vector<DisplayMonitor> monitors;
        ScreenRect primary;
        bool operator==(const DeskLayout&) const = default;
    };
    DeskLayout CurrentMonitors() const;
    void Cover(DeskLayout layout);

    HWND owner_ = nullptr;
    HWND clock_ = nullptr;
    ControlEvents events_;
    // Each monitor's density, read only for clocks.
    std::optional<TMonitorDensity> density_;
    int size_ = kSizeAsDesigned;
    ColourTable colours_{};
    std::optional<ClockTime> shown_;
    DeskLayout monitors_;
    std::vector<std::unique_ptr<TCoverForm>> covers_;
};

}  // namespace lumidial
