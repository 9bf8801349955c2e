// Reading the screen, and the clock off it: under Wine on Xvfb, BitBlt from
// the screen DC returns what every Wine process of the session has drawn.
// The clock's figures are the design's own (core/ClockDesign.h).
#pragma once

#include <windows.h>

#include "ClockDesign.h"

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};
// The clock's lit segments as designed (ClockColour absent).
inline constexpr Rgb kDesignGreen{0, 255, 0};

// A 24-bit picture, top row first.
class Image {
 public:
  Image() = default;
  Image(int width, int height) : width_(width), height_(height), pixels_(size_t(width) * height) {}
  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return pixels_.empty(); }
  Rgb At(int x, int y) const { return pixels_[size_t(y) * width_ + x]; }
  void Set(int x, int y, Rgb color) { pixels_[size_t(y) * width_ + x] = color; }
  // A 24-bit BMP file, which any Windows picture viewer opens.
  bool SaveBmp(const std::wstring& path) const;
  // A PNG file, decoded by the Windows Imaging Component; empty if it
  // cannot be read.
  static Image LoadPng(const std::wstring& path);

 private:
  int width_ = 0, height_ = 0;
  std::vector<Rgb> pixels_;
};

// The primary screen, or the part of it in `rect`, as the X server shows it.
Image GrabScreen(std::optional<RECT> rect = std::nullopt);

// The clock's artwork and the preview picture, read from the resources of
// the saver under test so that the tests recognise whatever it ships.
struct Artwork {
  std::array<Image, 10> digits;  // IDB_DIGIT0 + d
  Image colon, preview;          // IDB_COLON, IDB_PREVIEW
  static Artwork Load(const std::wstring& saverPath);
};

// Where the clock sits: the designed panel with its pictures, at `scale`
// times their 96-DPI size (the saver rounds to whole pixels, so scaled
// positions may be a pixel or two off), its top-left corner at `panel`.
struct ClockLayout {
  static constexpr int kOneDigitShift = lumidial::kHiddenDigitShift;

  POINT panel{};
  double scale = 1.0;

  // Centred on the primary screen; centred on `area` of a picture.
  static ClockLayout Centred(double scale = 1.0);
  static ClockLayout CentredOn(const RECT& area, double scale);
  int Scaled(double designPixels) const;
  RECT PanelRect() const;
  RECT PictureRect(int index, int shift) const;
};

struct ClockReading {
  // Hour tens, hour units, minute tens, minute units; nullopt where blank.
  std::array<std::optional<int>, 4> digits;
  bool colonShown = false;
  int shift = 0;  // 0, or ClockLayout::kOneDigitShift
  // Every picture matched a digit, the colon or black closely (not, for
  // example, half-drawn).
  bool recognised = false;
  std::string detail;  // match scores, for failure messages

  // The digit in the layout's picture `picture` (0, 1, 3 or 4; 2 is the colon).
  std::optional<int>& digitIn(int picture) { return digits[size_t(picture < 2 ? picture : picture - 1)]; }
  const std::optional<int>& digitIn(int picture) const { return digits[size_t(picture < 2 ? picture : picture - 1)]; }
  bool showsTime() const { return digits[1] && digits[2] && digits[3]; }
  int hour() const { return digits[0].value_or(0) * 10 + digits[1].value_or(0); }
  int minute() const { return digits[2].value_or(0) * 10 + digits[3].value_or(0); }
  std::string text() const;  // "12:05", " 3.07" (colon hidden)
};

// The artwork `reading` shows in the layout's picture `picture` (0..4); none
// for a blank digit or a hidden colon.
const Image* ArtShown(const Artwork& art, const ClockReading& reading, int picture);

// Recognises the clock: at 96 DPI in the design's green by comparing each
// picture's place with the artwork; on a scaled screen, or in another
// `colour` (its lit segments'), by the seven segments of each digit, looked
// at in their middles (and the colon's two squares).
class ClockReader {
 public:
  ClockReader(const Artwork& artwork, ClockLayout layout, Rgb colour = kDesignGreen)
      : artwork_(artwork), layout_(layout), colour_(colour) {}
  ClockReading Read(const Image& screen) const;
  ClockReading ReadScreen() const { return Read(GrabScreen()); }

 private:
  ClockReading ReadWithShift(const Image& screen, int shift) const;
  // Goes on with `reading`, its shift set.
  ClockReading ReadSegments(const Image& screen, ClockReading reading) const;
  const Artwork& artwork_;
  ClockLayout layout_;
  Rgb colour_;
};

// Where a picture is lit, inclusive: the clock's colour (the design's
// green unless told) at least half as bright in its brightest channel, as a
// segment covering at least part of a pixel is (the glow never is).
struct Extent {
  int left = INT_MAX, right = INT_MIN, top = INT_MAX, bottom = INT_MIN;
  bool empty() const { return right < left; }
  void Add(int x, int y);
  // Each edge within `tolerance` pixels of the other's.
  bool Near(const Extent& other, int tolerance) const;
  std::string text() const;
};
Extent LitExtent(const Image& image, Rgb colour = kDesignGreen);
// Where `image` is lit within `area`, counted from the area's corner.
Extent LitExtent(const Image& image, const RECT& area, Rgb colour = kDesignGreen);

// Pixels of `image`, or of its `area`, for which `which(x, y, pixel)` holds.
long Count(const Image& image, const std::function<bool(int x, int y, Rgb pixel)>& which,
           std::optional<RECT> area = std::nullopt);
// Pixels of the screen's `rect` that are not `colour`; -1 if it cannot be read.
long Unlike(const RECT& rect, Rgb colour);

// The monitors as this process sees them now, in the order Windows lists
// them; the whole desk, as Windows counts it from the primary's corner; a
// monitor's density, as a program aware of each monitor's sees it.
std::vector<RECT> MonitorRects();
RECT DeskRect();
// The primary monitor, from its corner at 0,0.
RECT PrimaryRect();
// `r` in a picture of the screen's `area`, counted from its corner.
RECT Within(const RECT& area, RECT r);
// "left,top-right,bottom".
std::string Describe(const RECT& r);
int MonitorDensity(const RECT& monitor);

// Saves the screen (BMP) in LUMIDIAL_E2E_ARTIFACTS, named after the scenario;
// returns "screenshot PATH" for a failure message.
std::string SaveScreenshot(const std::string& name);

// Share (percent) of the pixels of `picture` placed at (x, y) on `screen`
// that differ clearly (a black Image of a size: from black there).
double Difference(const Image& screen, int x, int y, const Image& picture);
// Pixels of `picture` placed at (x, y) on `screen` that differ at all.
long ExactMismatches(const Image& screen, int x, int y, const Image& picture);

}  // namespace e2e
