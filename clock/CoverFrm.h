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
    // Created hidden, owned by `owner`, for `monitor`; KeepInPlace shows it.
    TCoverForm(HWND owner, const DisplayMonitor& monitor);
    ~TCoverForm() override { DestroyHandle(); }

    // The monitor it covers; KeepInPlace puts it over a new one.
    const DisplayMonitor& Monitor() const noexcept { return monitor_; }
    void SetMonitor(const DisplayMonitor& monitor) { monitor_ = monitor; }

    // Over its monitor exactly, shown, just below `above` in the top-most
    // band: where Windows or another program moved, resized, hid or lowered
    // it, it is put back without activating; where it is in place, nothing
    // is done and nothing drawn.
    void KeepInPlace(HWND above) noexcept;

    // The clock on its monitor, fitted to it at its density and the `size`
    // chosen: made the first time, in `colours`, laid out anew when the
    // monitor changed size or density, left alone when it did not. It shows
    // `time` at once where there is one. Raises when the clock cannot be
    // made or laid out; the next call tries again.
    void FitClock(int size, const ColourTable& colours, const std::optional<ClockTime>& time);
    // Its clock, if it has one.
    TClockPanel* Clock() noexcept { return clock_ ? &*clock_ : nullptr; }
    // The monitor its clock is fitted to.
    const DisplayMonitor& ClockMonitor() const noexcept { return clockMonitor_; }

    ControlEvents Events;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    DisplayMonitor monitor_;
    std::optional<TClockPanel> clock_;
    DisplayMonitor clockMonitor_;
};

// The windows over every monitor but the primary, kept in step with the
// monitors as they come, go, move, change size and, with clocks, density,
// and kept in place against whatever else moves them. Owned by the clock
// window in run mode; input they get goes to `events`.
class TMonitorCovers {
public:
    // Owned by `owner`, each kept just below `clock`; each with a clock of
    // its own when `clocks`, of the `size` chosen, in `colours`.
    TMonitorCovers(HWND owner, HWND clock, ControlEvents events, bool clocks, int size,
                   const ColourTable& colours) noexcept;

    // Looks at the monitors and covers them anew where they changed, and
    // puts back every window that no longer lies in place. True when the
    // monitors changed since the last look (not at the first). Raises when
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
    void Assign(const DeskLayout& layout);

    HWND owner_ = nullptr;
    HWND clock_ = nullptr;
    ControlEvents events_;
    // Each monitor's density, read only for clocks.
    std::optional<TMonitorDensity> density_;
    int size_ = kSizeAsDesigned;
    ColourTable colours_{};
    std::optional<ClockTime> shown_;
    DeskLayout monitors_;
    // In the order they were made, which is their order below the clock
    // window.
    std::vector<std::unique_ptr<TCoverForm>> covers_;
};

}  // namespace lumidial
