// Makes the README's pictures from the real build under Wine, in the session
// "./dev.sh pictures" starts (which turns them into docs/*.png):
//
//   lumidial_pictures.exe FOLDER
//   lumidial_pictures.exe --every-monitor FOLDER
//
// The first writes into FOLDER clock.bmp (the whole screen in run mode at 10:08, as
// StartPicturedClock sets it up, which the end-to-end tests compare with the
// stored picture), clock-orange.bmp (the same in orange, "ClockColour"
// 0x0000A5FF, filling the screen, "ClockSize" 2), dialog.bmp (the settings
// dialog's client area), appearance.bmp (its Appearance dialog's) and
// preview.bmp (a host's 160 x 120 preview window with the preview in it).
// The second, in a session of several monitors, writes monitors.bmp: the
// whole desk with a clock on each monitor ("ClockOnEveryMonitor"), at 10:08.
// Each is taken once two captures in a row agree: the window has painted.
#include "ConfigureIds.h"
#include "SaverTest.h"

#include <algorithm>
#include <cstdio>

using namespace e2e;

namespace {

// The screen's `rect` once it holds still and `ready` says it shows what
// is wanted; empty if it never does.
Image Steady(const RECT& rect, const std::function<bool(const Image&)>& ready) {
  Image last, now;
  const bool steady = WaitUntil(
      [&] {
        now = GrabScreen(rect);
        const bool same = !last.empty() && ExactMismatches(now, 0, 0, last) == 0;
        last = now;
        return same && ready(now);
      },
      kTimeout, 250ms);
  return steady ? now : Image();
}

bool Save(const Image& image, const std::wstring& folder, const wchar_t* name) {
  const bool saved = !image.empty() && image.SaveBmp(folder + L"\\" + name + L".bmp");
  std::fprintf(stderr, "%ls: %s\n", name, saved ? "made" : "FAILED");
  return saved;
}

// Without a window manager Wine draws no frame: the client area is what
// there is to see.
RECT ClientRect(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// The pictured clock's time, the colon shown.
bool TenPastEight(const ClockReading& r) { return r.recognised && r.hour() == 10 && r.minute() == 8 && r.colonShown; }

}  // namespace

// Every monitor's clock reads 10:08.
bool EveryMonitorPictured(const std::wstring& folder) {
  ScratchRegistry registry;
  SaverProcess saver = StartPicturedClock(registry, {{L"ClockOnEveryMonitor", 1}});
  const RECT desk = DeskRect();
  const auto clocks = SaverTest::DesignedClocks();
  return Save(Steady(desk,
                     [&](const Image& picture) {
                       return std::all_of(clocks.begin(), clocks.end(), [&](const SaverTest::MonitorClock& c) {
                         const ClockLayout layout = ClockLayout::CentredOn(Within(desk, c.monitor), c.scale);
                         return TenPastEight(ClockReader(SaverTest::Art(), layout).Read(picture));
                       });
                     }),
              folder, L"monitors");
}

int wmain(int argc, wchar_t** argv) {
  const bool everyMonitor = argc == 3 && std::wstring(argv[1]) == L"--every-monitor";
  if (argc != 2 && !everyMonitor) {
    std::fprintf(stderr, "usage: lumidial_pictures.exe [--every-monitor] FOLDER\n");
    return 2;
  }
  const std::wstring folder = argv[argc - 1];
  KillStraySavers();
  if (everyMonitor) return EveryMonitorPictured(folder) ? 0 : 1;
  ScratchRegistry registry;
  const RECT screen = PrimaryRect();
  const auto clock = [&](const wchar_t* name, std::initializer_list<std::pair<const wchar_t*, DWORD>> values,
                         double scale, Rgb colour) {
    SaverProcess saver = StartPicturedClock(registry, values);
    const ClockReader reader(SaverTest::Art(), ClockLayout::Centred(scale), colour);
    return Save(Steady(screen, [&](const Image& shown) { return TenPastEight(reader.Read(shown)); }), folder, name);
  };
  bool made = clock(L"clock", {}, 1.0, kDesignGreen);
  // Filled: at most 80 % of the screen's width and half its height.
  made &= clock(L"clock-orange", {{L"ClockColour", 0x0000A5FF}, {L"ClockSize", 2}},
                std::min(0.8 * screen.right / lumidial::kPanelWidth, 0.5 * screen.bottom / lumidial::kPanelHeight),
                Rgb{255, 165, 0});
  ScratchRegistry::Clear();
  {
    SaverProcess saver = SaverProcess::Start(L"/c");
    const HWND dialog = saver.WaitForWindow(lumidial::cfg::kFormClass);
    made &= dialog && Save(Steady(ClientRect(dialog), [](const Image&) { return true; }), folder, L"dialog");
    PostMessageW(GetDlgItem(dialog, lumidial::cfg::kAppearance), BM_CLICK, 0, 0);
    const HWND look = saver.WaitForWindow(lumidial::cfg::kAppearanceClass);
    made &= look && Save(Steady(ClientRect(look), [](const Image&) { return true; }), folder, L"appearance");
  }
  {
    HostWindow host({100, 100}, {160, 120});
    SaverProcess saver = SaverProcess::Start(L"/p " + host.Number());
    made &= Save(Steady(ClientRect(host.window),
                        [&](const Image&) { return host.PreviewMismatches(SaverTest::Art().preview) == 0; }),
                 folder, L"preview");
    ShowWindow(host.window, SW_HIDE);
    saver.WaitForExit();
  }
  return made ? 0 : 1;
}
