// The clock on every monitor ("ClockOnEveryMonitor" 1): where the design
// puts each monitor's clock, and all of them read in one look at the desk.
// Used by the several-monitor, scaled-screen and run-mode scenarios.
#pragma once

#include "SaverTest.h"

#include <shellscalingapi.h>

#include <algorithm>
#include <string>
#include <vector>

namespace e2e {

// The whole desk, as Windows counts it from the primary's corner.
inline RECT DeskRect() {
  const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// The monitor's own density, as a program aware of each monitor's sees it.
inline int MonitorDensity(const RECT& monitor) {
  UINT x = 96, y = 96;
  GetDpiForMonitor(MonitorFromRect(&monitor, MONITOR_DEFAULTTONEAREST), MDT_EFFECTIVE_DPI, &x, &y);
  return int(y);
}

// The centred clock on `monitor`, in a picture of the desk: on the primary
// as ClockLayout has it; on any other at that monitor's density over 96
// (`dpi`, or the system's where 0), or smaller where that would take more
// than 80 % of its width or half its height (978 x 327 at 96 DPI), so that
// it stays whole with room to drift.
inline ClockLayout ClockOnMonitor(const RECT& monitor, int primaryDpi, int dpi = 0) {
  const RECT desk = DeskRect();
  const int w = monitor.right - monitor.left, h = monitor.bottom - monitor.top;
  ClockLayout layout = ClockLayout::ForPrimaryScreen(primaryDpi);
  if (monitor.left != 0 || monitor.top != 0)
    layout.scale = std::min({(dpi ? dpi : MonitorDensity(monitor)) / 96.0, 0.8 * w / 978, 0.5 * h / 327});
  layout.panel = {monitor.left - desk.left + (w - layout.Scaled(978)) / 2,
                  monitor.top - desk.top + (h - layout.Scaled(327)) / 2};
  return layout;
}

// Where `image` of the desk is lit on `monitor`, at least half-bright green,
// counted from the monitor's corner.
inline Extent LitOnMonitor(const Image& image, const RECT& monitor) {
  const RECT desk = DeskRect();
  Extent lit;
  for (int y = monitor.top; y < monitor.bottom && !image.empty(); ++y)
    for (int x = monitor.left; x < monitor.right; ++x)
      if (image.At(x - desk.left, y - desk.top).g >= 128) lit.Add(x - monitor.left, y - monitor.top);
  return lit;
}

// Lit within the drift's margins of its monitor: 5 % of the width, 10 % of
// the height.
inline bool WithinMargins(const Extent& lit, const RECT& monitor) {
  const int w = monitor.right - monitor.left, h = monitor.bottom - monitor.top;
  return !lit.empty() && lit.left >= w / 20 && lit.right < w - w / 20 && lit.top >= h / 10 && lit.bottom < h - h / 10;
}

// Waits until every monitor shows its clock, where ClockOnMonitor puts it,
// lit only within its monitor's drift margins, all showing the same time with the colon in step: seen so
// once with the colon shown and once with it hidden.
inline ::testing::AssertionResult EveryMonitorShowsTheSameTime(const SaverProcess& saver, const Artwork& art,
                                                               int primaryDpi, int dpi = 0) {
  const RECT desk = DeskRect();
  bool shown = false, hidden = false;
  std::string seen;
  WaitUntil(
      [&] {
        const Image image = GrabScreen(desk);
        seen.clear();
        std::optional<ClockReading> first;
        bool alike = !image.empty();
        for (const RECT& m : MonitorRects()) {
          const ClockReading r = ClockReader(art, ClockOnMonitor(m, primaryDpi, dpi)).Read(image);
          const Extent lit = LitOnMonitor(image, m);
          const bool inside = WithinMargins(lit, m);
          seen += " [" + std::to_string(m.left) + "," + std::to_string(m.top) + ": \"" + r.text() + "\" lit " +
                  (lit.empty() ? "nowhere" : lit.text()) + "]";
          alike = alike && r.recognised && r.showsTime() && inside &&
                  (!first || (r.hour() == first->hour() && r.minute() == first->minute() &&
                              r.colonShown == first->colonShown));
          if (!first) first = r;
        }
        if (alike) (first->colonShown ? shown : hidden) = true;
        return (shown && hidden) || !saver.IsRunning();
      },
      kTimeout, 50ms);
  if (!saver.IsRunning()) return ::testing::AssertionFailure() << "the saver ended";
  if (shown && hidden) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "every monitor's clock seen alike with the colon shown " << shown
                                       << ", hidden " << hidden << "; last look:" << seen;
}

}  // namespace e2e
