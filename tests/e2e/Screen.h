// Reading the screen, and reading the clock off it.
//
// Under Wine on Xvfb, BitBlt from the screen DC (GetDC(nullptr)) returns what
// every Wine process of the session has drawn, so the tests look at the
// saver's output the way a person would: as pixels.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// A 24-bit picture, top row first.
class Image {
 public:
  Image() = default;
  Image(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return pixels_.empty(); }

  Rgb At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  void Set(int x, int y, Rgb color) { pixels_[static_cast<size_t>(y) * width_ + x] = color; }
  // Writes a binary PPM, for a failing test to leave behind.
  bool SavePpm(const std::wstring& path) const;

 private:
  int width_ = 0, height_ = 0;
  std::vector<Rgb> pixels_;
};

// The whole primary screen, or a part of it, as the X server shows it.
Image GrabScreen();
Image GrabScreen(const RECT& rect);

// The clock's artwork and the preview picture, read from the resources of
// the saver under test so that the tests recognise whatever it ships.
struct Artwork {
  std::array<Image, 10> digits;  // IDB_DIGIT0 + d
  Image colon;                   // IDB_COLON
  Image preview;                 // IDB_PREVIEW
  static Artwork Load(const std::wstring& saverPath);
};

// Where the clock sits: a 978 x 327 panel centred on the screen (integer
// division), pictures at fixed offsets inside it; with a one-digit hour the
// hour-tens picture is hidden and the rest moves left by kOneDigitShift.
struct ClockLayout {
  static constexpr int kPanelWidth = 978;
  static constexpr int kPanelHeight = 327;
  static constexpr int kDigitWidth = 220;
  static constexpr int kDigitHeight = 325;
  static constexpr int kColonWidth = 93;
  static constexpr int kOneDigitShift = -110;
  // x offsets in the panel of: hour tens, hour units, colon, minute tens,
  // minute units.
  static constexpr std::array<int, 5> kPictureX = {0, 221, 442, 536, 757};

  POINT panel;  // top-left of the panel on the screen

  static ClockLayout ForPrimaryScreen();
  RECT PanelRect() const;
  // Screen rectangle of picture `index` (0..4) with the given shift.
  RECT PictureRect(int index, int shift) const;
};

// One reading of the clock face.
struct ClockReading {
  // Digits per slot: hour tens, hour units, minute tens, minute units;
  // nullopt where the slot is blank (black).
  std::array<std::optional<int>, 4> digits;
  bool colonShown = false;
  int shift = 0;  // 0, or ClockLayout::kOneDigitShift
  // True when every picture matched a digit, the colon, or black closely;
  // false if something else was on screen there (e.g. half-drawn).
  bool recognised = false;
  std::string detail;  // per-slot match scores, for failure messages

  // The clock shows a time: hour units and both minute digits are lit.
  bool showsTime() const;
  int hour() const;    // as displayed (12-hour form: 1..12)
  int minute() const;
  // "12:05", " 3:07" (blank hour tens), with '.' for a hidden colon.
  std::string text() const;
};

// Recognises the clock in screen captures by comparing each picture's place
// with the artwork.
class ClockReader {
 public:
  ClockReader(Artwork artwork, ClockLayout layout);

  ClockReading Read(const Image& screen) const;
  ClockReading ReadScreen() const { return Read(GrabScreen()); }

 private:
  struct Match {
    std::optional<int> digit;  // nullopt: blank
    double score;              // mean absolute difference, 0..255
  };
  Match MatchDigit(const Image& screen, const RECT& rect) const;
  Match MatchColon(const Image& screen, const RECT& rect) const;
  ClockReading ReadWithShift(const Image& screen, int shift) const;

  Artwork artwork_;
  ClockLayout layout_;
};

// Mean absolute difference per channel between `screen` at (x, y) and
// `picture` (0 = identical, 255 = opposite).
double Difference(const Image& screen, int x, int y, const Image& picture);
// Same against plain black.
double DifferenceFromBlack(const Image& screen, const RECT& rect);

}  // namespace e2e
