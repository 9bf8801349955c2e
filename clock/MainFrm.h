// The clock window: full screen in run mode, never shown in preview mode
// (where its creation handler runs the preview, Preview.h, instead). It
// holds the handlers of the clock, its one timer and the state they share;
// the clock face on the primary (ClockPanel.h), the windows over the other
// monitors with their own clocks when asked for (CoverFrm.h) and keeping the
// window over a primary that changes size (FullScreen.h) live in units of
// their own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "ClockPanel.h"
#include "CoverFrm.h"
#include "Dpi.h"
#include "Form.h"
#include "Settings.h"

namespace lumidial {

class TMainForm final : public TForm {
public:
    TMainForm();
    ~TMainForm() override;

    void Show() override;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool CloseQuery() override;

    // Handlers.
    void FormCreate();
    void FormActivate();
    void FormDestroy() noexcept;
    void FormKeyDown();
    void FormDeactivateApp() noexcept;
    void FormMouseMove(HWND control, int x, int y);
    int PointerThresholdUnder(POINT client) const noexcept;
    bool FormCloseQuery();
    void tmrDrawTimer() noexcept;

    void DrawTime();
    void FollowDimming(const SYSTEMTIME& now) noexcept;
    void MoveClock() noexcept;
    void PrepareRunMode();

    void FollowPrimary();
    void FollowMonitors() noexcept;
    void EnableDrawTimer(UINT interval) noexcept;
    void DisableDrawTimer() noexcept;
    bool ActsOnSharedState() const noexcept;

    // Drift pacing, for every clock at once, and pointer state.
    std::int32_t MoveTicks = 0;
    std::unique_ptr<TSettings> Settings;
    bool Activated = false;
    std::int32_t MouseStartX = -1;
    std::int32_t MouseStartY = -1;
    // Each monitor's density, which a movement over it is judged at; in run
    // mode.
    std::optional<TMonitorDensity> pointerDensity_;
    // The colon of every clock, inverted at each tick with FlashSecond.
    bool colonVisible_ = true;
    // Every clock's colour table at full brightness and dimmed, made once
    // from the settings, and which of the two the clocks show.
    ColourTable bright_{};
    ColourTable dimmed_{};
    bool dimmedShown_ = false;
    const ColourTable& Colours() const noexcept { return dimmedShown_ ? dimmed_ : bright_; }

    // tmrDraw.
    bool drawTimerEnabled_ = false;
    UINT drawTimerInterval_ = 5;

    // The clock on the primary screen, fitted to its size at its density;
    // laid out anew when either changes. The size and density it was laid
    // out for are read once with it, so a change between the two reads is
    // never missed. In preview mode its panels only.
    SIZE layoutScreen_{};
    int layoutDpi_ = 0;
    std::optional<TClockPanel> clock_;

    bool runModePrepared_ = false;
    bool closeAllowed_ = false;
    bool verifyingPassword_ = false;
    // In the run-mode copy that holds the single-instance guard.
    std::optional<TMonitorCovers> covers_;
};

}  // namespace lumidial
