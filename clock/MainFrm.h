// The clock window: full screen in run mode, never shown in preview mode
// (where its creation handler runs the preview, Preview.h, instead). It
// holds the handlers of the clock and the state they share; the artwork
// (ClockArtwork.h), the covers of the other monitors (CoverFrm.h) and
// keeping the window over a primary that changes size (FullScreen.h) live
// in units of their own.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "ClockArtwork.h"
#include "ClockGeometry.h"
#include "Controls.h"
#include "CoverFrm.h"
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
    bool FormCloseQuery();
    void tmrDrawTimer() noexcept;

    void DrawTime();
    void MoveClock() noexcept;
    void PrepareRunMode();

    void CreateControls();
    // The hour tens, hour units, minute tens and minute units pictures.
    std::array<TImage*, 4> DigitPictures() const noexcept;
    // Hour tens, hour units, colon, minute tens, minute units: the order of
    // the layout's picture rectangles.
    std::array<TImage*, 5> PicturesInLayoutOrder() const noexcept;
    void PlaceClockPanel() noexcept;
    void FollowPrimary();
    void FollowMonitors() noexcept;
    void EnableDrawTimer(UINT interval) noexcept;
    void DisableDrawTimer() noexcept;
    bool ActsOnSharedState() const noexcept;

    // Drift and pointer state.
    std::int32_t MoveTicks = 0;
    bool MovingUp = false;
    std::int32_t LeftMargin = 0;
    std::int32_t TopMargin = 0;
    std::int32_t RightLimit = 0;
    std::int32_t BottomLimit = 0;
    bool MovingLeft = false;
    std::unique_ptr<TSettings> Settings;
    bool Activated = false;
    std::int32_t MouseStartX = -1;
    std::int32_t MouseStartY = -1;

    // Controls, children of this window, destroyed with it.
    std::unique_ptr<TPanel> pnlClock;
    std::unique_ptr<TPanel> pnlClockInner;
    std::unique_ptr<TImage> imgHour1;
    std::unique_ptr<TImage> imgHour2;
    std::unique_ptr<TImage> imgColon;
    std::unique_ptr<TImage> imgMin1;
    std::unique_ptr<TImage> imgMin2;

    // tmrDraw.
    bool drawTimerEnabled_ = false;
    UINT drawTimerInterval_ = 5;

    // The clock's layout on the primary screen, fitted to its size at its
    // density; laid out anew when either changes. The size and density it
    // was laid out for are read once with it, so a change between the two
    // reads is never missed.
    ClockPlacement layout_;
    SIZE layoutScreen_{};
    int layoutDpi_ = 0;
    // At the layout's scale; none in preview mode.
    TClockArtwork artwork_;

    bool runModePrepared_ = false;
    bool closeAllowed_ = false;
    bool verifyingPassword_ = false;
    // In the run-mode copy that holds the single-instance guard.
    std::optional<TMonitorCovers> covers_;
};

}  // namespace lumidial
