#include "Screen.h"

#include "resource.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace e2e {

// ---------------------------------------------------------------------------
// Image

Image::Image(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height) {}

bool Image::SavePpm(const std::wstring& path) const {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (!file) return false;
  std::fprintf(file, "P6\n%d %d\n255\n", width_, height_);
  for (const Rgb& p : pixels_) {
    const unsigned char bytes[3] = {p.r, p.g, p.b};
    std::fwrite(bytes, 1, 3, file);
  }
  return std::fclose(file) == 0;
}

namespace {

// Copies a 32-bit top-down DIB into an Image.
Image FromBgra(const void* bits, int width, int height) {
  Image out(width, height);
  const auto* p = static_cast<const uint8_t*>(bits);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, p += 4) out.Set(x, y, Rgb{p[2], p[1], p[0]});
  return out;
}

BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// A pixel counts as different when one channel differs by more than this:
// far above rounding in colour conversions, far below the step between
// lit, glowing and dark.
constexpr int kChannelTolerance = 40;

// A picture matches when at most this share of its pixels differ (percent).
constexpr double kMatchLimit = 0.5;

}  // namespace

Image GrabScreen() {
  return GrabScreen(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

Image GrabScreen(const RECT& rect) {
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return {};
  Image out;
  HDC screen = GetDC(nullptr);
  BITMAPINFO info = TopDown32(width, height);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib) {
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, dib);
    if (BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT)) {
      GdiFlush();
      out = FromBgra(bits, width, height);
    }
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(dib);
  }
  ReleaseDC(nullptr, screen);
  return out;
}

namespace {
Image LoadBitmapResource(HMODULE module, int id) {
  auto bitmap = static_cast<HBITMAP>(
      LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!bitmap) return {};
  BITMAP header{};
  GetObjectW(bitmap, sizeof header, &header);
  Image out;
  BITMAPINFO info = TopDown32(header.bmWidth, header.bmHeight);
  std::vector<uint8_t> bits(static_cast<size_t>(header.bmWidth) * header.bmHeight * 4);
  HDC screen = GetDC(nullptr);
  if (GetDIBits(screen, bitmap, 0, static_cast<UINT>(header.bmHeight), bits.data(), &info,
                DIB_RGB_COLORS) == header.bmHeight)
    out = FromBgra(bits.data(), header.bmWidth, header.bmHeight);
  ReleaseDC(nullptr, screen);
  DeleteObject(bitmap);
  return out;
}
}  // namespace

Artwork Artwork::Load(const std::wstring& saverPath) {
  Artwork art;
  HMODULE module = LoadLibraryExW(saverPath.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return art;
  for (int d = 0; d < 10; ++d) art.digits[d] = LoadBitmapResource(module, IDB_DIGIT0 + d);
  art.colon = LoadBitmapResource(module, IDB_COLON);
  art.preview = LoadBitmapResource(module, IDB_PREVIEW);
  FreeLibrary(module);
  return art;
}

// ---------------------------------------------------------------------------
// ClockLayout

ClockLayout ClockLayout::ForPrimaryScreen() {
  return ClockLayout{POINT{(GetSystemMetrics(SM_CXSCREEN) - kPanelWidth) / 2,
                           (GetSystemMetrics(SM_CYSCREEN) - kPanelHeight) / 2}};
}

RECT ClockLayout::PanelRect() const {
  return RECT{panel.x, panel.y, panel.x + kPanelWidth, panel.y + kPanelHeight};
}

RECT ClockLayout::PictureRect(int index, int shift) const {
  int width = index == 2 ? kColonWidth : kDigitWidth;
  int left = panel.x + kPictureX[static_cast<size_t>(index)] + shift;
  return RECT{left, panel.y, left + width, panel.y + kDigitHeight};
}

// ---------------------------------------------------------------------------
// Matching

double Difference(const Image& screen, int x0, int y0, const Image& picture) {
  if (picture.empty()) return 100.0;
  long differing = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      int sx = x0 + x, sy = y0 + y;
      if (sx < 0 || sy < 0 || sx >= screen.width() || sy >= screen.height()) {
        ++differing;
        continue;
      }
      Rgb a = screen.At(sx, sy), b = picture.At(x, y);
      if (std::abs(a.r - b.r) > kChannelTolerance || std::abs(a.g - b.g) > kChannelTolerance ||
          std::abs(a.b - b.b) > kChannelTolerance)
        ++differing;
    }
  }
  return 100.0 * static_cast<double>(differing) / (static_cast<double>(picture.width()) * picture.height());
}

double DifferenceFromBlack(const Image& screen, const RECT& rect) {
  long differing = 0, total = 0;
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = rect.left; x < rect.right; ++x, ++total) {
      if (x < 0 || y < 0 || x >= screen.width() || y >= screen.height()) {
        ++differing;
        continue;
      }
      Rgb p = screen.At(x, y);
      if (p.r > kChannelTolerance || p.g > kChannelTolerance || p.b > kChannelTolerance)
        ++differing;
    }
  }
  return total ? 100.0 * static_cast<double>(differing) / static_cast<double>(total) : 0.0;
}

ClockReader::ClockReader(Artwork artwork, ClockLayout layout)
    : artwork_(std::move(artwork)), layout_(layout) {}

ClockReader::Match ClockReader::MatchDigit(const Image& screen, const RECT& rect) const {
  Match best{std::nullopt, DifferenceFromBlack(screen, rect)};
  for (int d = 0; d < 10 && best.score > 0.0; ++d) {
    double score = Difference(screen, rect.left, rect.top, artwork_.digits[static_cast<size_t>(d)]);
    if (score < best.score) best = Match{d, score};
  }
  return best;
}

ClockReader::Match ClockReader::MatchColon(const Image& screen, const RECT& rect) const {
  Match blank{std::nullopt, DifferenceFromBlack(screen, rect)};
  Match colon{1, Difference(screen, rect.left, rect.top, artwork_.colon)};
  return colon.score < blank.score ? colon : blank;
}

ClockReading ClockReader::ReadWithShift(const Image& screen, int shift) const {
  ClockReading reading;
  reading.shift = shift;
  reading.recognised = true;
  double worst = 0.0;
  char detail[256];
  std::string text = "shift " + std::to_string(shift) + ":";
  // Picture index per digit slot (2 is the colon).
  const int pictures[4] = {0, 1, 3, 4};
  for (int slot = 0; slot < 4; ++slot) {
    if (slot == 0 && shift != 0) continue;  // hidden hour tens: not on screen
    Match m = MatchDigit(screen, layout_.PictureRect(pictures[slot], shift));
    reading.digits[static_cast<size_t>(slot)] = m.digit;
    worst = std::max(worst, m.score);
    std::snprintf(detail, sizeof detail, " %c=%.2f%%", m.digit ? '0' + *m.digit : '_', m.score);
    text += detail;
  }
  Match colon = MatchColon(screen, layout_.PictureRect(2, shift));
  reading.colonShown = colon.digit.has_value();
  worst = std::max(worst, colon.score);
  std::snprintf(detail, sizeof detail, " colon %s=%.2f%%", reading.colonShown ? "on" : "off",
                colon.score);
  text += detail;
  reading.recognised = worst <= kMatchLimit;
  reading.detail = text;
  return reading;
}

ClockReading ClockReader::Read(const Image& screen) const {
  ClockReading full = ReadWithShift(screen, 0);
  if (full.recognised && full.showsTime()) return full;
  ClockReading shifted = ReadWithShift(screen, ClockLayout::kOneDigitShift);
  if (shifted.recognised && shifted.showsTime()) return shifted;
  if (full.recognised) return full;  // e.g. blank before the first tick
  ClockReading unknown = full;
  unknown.detail = full.detail + " | " + shifted.detail;
  return unknown;
}

bool ClockReading::showsTime() const {
  return digits[1].has_value() && digits[2].has_value() && digits[3].has_value();
}

int ClockReading::hour() const { return digits[0].value_or(0) * 10 + digits[1].value_or(0); }

int ClockReading::minute() const { return digits[2].value_or(0) * 10 + digits[3].value_or(0); }

std::string ClockReading::text() const {
  std::string out;
  for (int slot = 0; slot < 4; ++slot) {
    if (slot == 2) out += colonShown ? ':' : '.';
    const auto& d = digits[static_cast<size_t>(slot)];
    out += d ? static_cast<char>('0' + *d) : ' ';
  }
  if (shift) out += " (shifted " + std::to_string(shift) + ")";
  if (!recognised) out += " (not recognised)";
  return out;
}

}  // namespace e2e
