// The settings dialog's window and controls where the design puts them, at
// the standard pixel density and scaled at a higher one, and what it paints.
#include "DialogDriver.h"

#include "ConfigureIds.h"
#include "Screen.h"

#include <commctrl.h>

#include <algorithm>
#include <sstream>
#include <vector>

namespace e2e {
namespace {

namespace id = lumidial::cfg;

using Dialog = DialogTest;

struct Font {
  const wchar_t* face;
  int height;
  bool bold;
};
constexpr Font kSans{L"MS Sans Serif", -11, false};
constexpr Font kSansBold{L"MS Sans Serif", -13, true};
constexpr Font kTahoma16{L"Tahoma", -16, true};
constexpr Font kTahoma24{L"Tahoma", -24, true};

constexpr const wchar_t* kStatic = L"Static";
constexpr const wchar_t* kButton = L"Button";
constexpr const wchar_t* kList = L"ComboBox";
constexpr const wchar_t* kPicker = L"SysDateTimePick32";

// The design at 96 DPI, in client pixels.
struct Expected {
  int id;
  const wchar_t* windowClass;
  int left, top, width, height;
  const wchar_t* text;
  bool visible;
  bool tabStop;
  // Labels that grow when the system's font is wider than the designed one.
  bool grows;
  // The caption's font.
  Font font;
};

const Expected kExpected[] = {
    {id::kLabel1, kStatic, 8, 8, 345, 29, L"Lumidial", true, false, false, kTahoma24},
    {id::kLabel2, kStatic, 68, 42, 282, 19, L"by Orvane", true, false, false, kTahoma16},
    {id::kBevel1, kStatic, 8, 72, 345, 233, L"", true, false, false, kSans},
    {id::kLabel3, kStatic, 22, 84, 61, 16, L"Settings:", true, false, true, kSansBold},
    {id::kTwentyFourHour, kButton, 38, 108, 233, 17, L"Display in 24 hour format",
     true, true, false, kSans},
    {id::kFlashSecond, kButton, 38, 136, 249, 17, L"Flash the time separator each second",
     true, true, false, kSans},
    {id::kLabel4, kStatic, 38, 166, 83, 13, L"Clock Movement:", true, false, true, kSans},
    {id::kClockMove, kList, 134, 162, 145, 21, L"None", true, true, false, kSans},
    {id::kClockMoveIntervalLabel, kStatic, 62, 196, 91, 13, L"Movement Interval:",
     true, false, true, kSans},
    {id::kClockMoveInterval, kList, 174, 188, 105, 21, L"Very Slow", true, true, false, kSans},
    {id::kCountDown, kButton, 280, 88, 97, 17, L"chkCountDown", false, true, false, kSans},
    {id::kCountDownTime, kPicker, 280, 112, 97, 21, nullptr, false, true, false, kSans},
    {id::kLabel5, kStatic, 22, 236, 294, 19, L"Download other free software from:",
     true, false, true, kTahoma16},
    {id::kLabel6, kStatic, 24, 268, 313, 19, L"https://www.orvane.example/",
     true, false, false, kTahoma16},
    {id::kOk, kButton, 176, 315, 82, 25, L"OK", true, true, false, kSans},
    {id::kCancel, kButton, 264, 315, 87, 25, L"Cancel", true, true, false, kSans},
};

// Room a check box needs beside its caption for the box itself.
constexpr int kCheckBoxRoom = 20;

int Scaled(int value, int dpi) { return MulDiv(value, dpi, 96); }

// Width and height of `text` in `font` at `dpi`, measured here with the
// same fonts the saver's Wine prefix has.
SIZE TextSize(const wchar_t* text, const Font& font, int dpi) {
  SIZE size{};
  HDC dc = GetDC(nullptr);
  HFONT handle = CreateFontW(Scaled(font.height, dpi), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL,
                             FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, font.face);
  HGDIOBJ previous = SelectObject(dc, handle);
  GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
  SelectObject(dc, previous);
  DeleteObject(handle);
  ReleaseDC(nullptr, dc);
  return size;
}

std::string Describe(const RECT& r) {
  std::ostringstream out;
  out << "(" << r.left << "," << r.top << " " << r.right - r.left << "x" << r.bottom - r.top << ")";
  return out.str();
}

class DialogLayout : public DialogTest {
 protected:
  // Everything the design fixes, scaled to `dpi`.
  void ExpectLayout(int dpi) {
    RECT window{};
    GetWindowRect(dialog, &window);
    EXPECT_EQ(window.left, 408) << "the designed place on the screen, not centred";
    EXPECT_EQ(window.top, 237);
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, Scaled(363, dpi));
    EXPECT_EQ(client.bottom, Scaled(353, dpi));

    for (const Expected& e : kExpected) {
      SCOPED_TRACE("control " + std::to_string(e.id));
      HWND control = Item(e.id);
      ASSERT_NE(control, nullptr);
      EXPECT_EQ(WindowClass(control), e.windowClass);
      if (e.text) {
        EXPECT_EQ(Text(e.id), e.text);
      }
      EXPECT_EQ(IsWindowVisible(control) != FALSE, e.visible);
      const bool tabStop = (GetWindowLongPtrW(control, GWL_STYLE) & WS_TABSTOP) != 0;
      EXPECT_EQ(tabStop, e.tabStop);

      const RECT r = Bounds(e.id);
      const int width = r.right - r.left, height = r.bottom - r.top;
      EXPECT_EQ(r.left, Scaled(e.left, dpi)) << Describe(r);
      EXPECT_EQ(r.top, Scaled(e.top, dpi)) << Describe(r);
      const SIZE text = e.text ? TextSize(e.text, e.font, dpi) : SIZE{};
      if (e.grows) {
        EXPECT_EQ(width, std::max<int>(Scaled(e.width, dpi), text.cx)) << Describe(r);
        EXPECT_EQ(height, std::max<int>(Scaled(e.height, dpi), text.cy)) << Describe(r);
      } else {
        EXPECT_EQ(width, Scaled(e.width, dpi)) << Describe(r);
        EXPECT_EQ(height, Scaled(e.height, dpi)) << Describe(r);
      }
      // No caption is cut off.
      if (e.text && e.windowClass == std::wstring(kStatic)) {
        EXPECT_LE(text.cx, width) << Narrow(e.text);
        EXPECT_LE(text.cy, height) << Narrow(e.text);
      }
      if (e.id == id::kTwentyFourHour || e.id == id::kFlashSecond) {
        EXPECT_LE(text.cx + Scaled(kCheckBoxRoom, dpi), width) << Narrow(e.text);
      }
    }
  }
};

TEST_F(DialogLayout, MatchesTheDesignAtTheStandardDensity) {
  {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (dpi != 96) GTEST_SKIP() << "the prefix runs at " << dpi << " DPI";
  }
  Open();
  ASSERT_NE(dialog, nullptr);

  EXPECT_EQ(WindowText(dialog), L"Configure Orvane Lumidial");
  const LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
  const LONG_PTR exStyle = GetWindowLongPtrW(dialog, GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX))
      << "a fixed dialog frame: no sizing, no maximising";
  EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);

  HWND owner = GetWindow(dialog, GW_OWNER);
  ASSERT_NE(owner, nullptr) << "owned by the application's window";
  EXPECT_EQ(WindowClass(owner), L"TApplication");

  ExpectLayout(96);

  // One tool tip per control with a hint: both check boxes, both lists and
  // the web address.
  std::vector<HWND> tips;
  for (HWND window : TopLevelWindows(saver.pid(), TOOLTIPS_CLASSW, nullptr, true))
    if (GetWindow(window, GW_OWNER) == dialog) tips.push_back(window);
  ASSERT_EQ(tips.size(), 1u);
  EXPECT_EQ(SendMessageW(tips.front(), TTM_GETTOOLCOUNT, 0, 0), 5);
}

TEST_F(DialogLayout, ScalesEverythingAtAHigherDensity) {
  PixelDensityOverride density(144);
  if (!density.applied()) GTEST_SKIP() << "the prefix already sets its own density";
  Open();
  ASSERT_NE(dialog, nullptr);
  ExpectLayout(144);
}

// Pixels, as a person would see them: button face wherever no control
// covers the window (the bevel's inside included), and a blue, underlined
// web address.
TEST_F(Dialog, PaintsButtonFaceAndABlueUnderlinedLink) {
  SetCursorPos(2, 2);  // no tool tip over the dialog
  Open();
  ASSERT_NE(dialog, nullptr);

  const COLORREF faceColour = GetSysColor(COLOR_BTNFACE);
  const Rgb face{GetRValue(faceColour), GetGValue(faceColour), GetBValue(faceColour)};
  const Rgb blue{0, 0, 255};
  std::vector<RECT> covered;
  for (int control : {id::kLabel1, id::kLabel2, id::kLabel3, id::kTwentyFourHour,
                      id::kFlashSecond, id::kLabel4, id::kClockMove, id::kClockMoveIntervalLabel,
                      id::kClockMoveInterval, id::kLabel5, id::kLabel6, id::kOk, id::kCancel})
    covered.push_back(Bounds(control));
  const RECT bevel = Bounds(id::kBevel1);
  const RECT link = Bounds(id::kLabel6);
  auto inside = [](const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
  };

  RECT client{};
  GetClientRect(dialog, &client);
  POINT origin{0, 0};
  ClientToScreen(dialog, &origin);
  const RECT onScreen{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};

  Image shot;
  long wrong = 0, linkBlue = 0;
  int longestBlueRun = 0;
  POINT firstWrong{-1, -1};
  const bool painted = PumpUntil([&] {
    shot = GrabScreen(onScreen);
    wrong = linkBlue = 0;
    longestBlueRun = 0;
    firstWrong = {-1, -1};
    for (int y = 0; y < shot.height(); ++y) {
      int run = 0;
      for (int x = 0; x < shot.width(); ++x) {
        const Rgb p = shot.At(x, y);
        if (inside(link, x, y)) {
          run = p == blue ? run + 1 : 0;
          longestBlueRun = std::max(longestBlueRun, run);
          if (p == blue) ++linkBlue;
        }
        bool onControl = std::any_of(covered.begin(), covered.end(),
                                     [&](const RECT& r) { return inside(r, x, y); });
        // The bevel's etched edge is two pixels wide.
        RECT innerBevel{bevel.left + 2, bevel.top + 2, bevel.right - 2, bevel.bottom - 2};
        bool onBevelEdge = inside(bevel, x, y) && !inside(innerBevel, x, y);
        if (onControl || onBevelEdge || p == face) continue;
        if (wrong++ == 0) firstWrong = {x, y};
      }
    }
    return wrong == 0 && linkBlue > 100 && longestBlueRun >= 100;
  });
  EXPECT_TRUE(painted) << wrong << " background pixels are not button face (first at "
                       << firstWrong.x << "," << firstWrong.y << "); " << linkBlue
                       << " blue pixels in the link, longest blue row run " << longestBlueRun;
  if (!painted) shot.SavePpm(L"Z:\\tmp\\lumidial-dialog-paint.ppm");
}

}  // namespace
}  // namespace e2e
