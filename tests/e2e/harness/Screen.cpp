#include "Screen.h"

#include "HostWindow.h"
#include "Process.h"
#include "resource.h"

#include <shellscalingapi.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace e2e {

namespace {

// A pixel differs when a channel differs by more than this: far above
// rounding in colour conversions, far below the step between lit, glowing
// and dark.
constexpr int kChannelTolerance = 40;
// A picture matches when at most this share of its pixels differ (percent).
constexpr double kMatchLimit = 0.5;

BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  return info;
}

Image FromBgra(const uint8_t* p, int width, int height) {
  Image out(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, p += 4) out.Set(x, y, Rgb{p[2], p[1], p[0]});
  return out;
}

Image LoadBitmapResource(HMODULE module, int id) {
  const lumidial::UniqueBitmap bitmap(
      static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  BITMAP header{};
  if (!bitmap || !GetObjectW(bitmap.get(), sizeof header, &header)) return {};
  BITMAPINFO info = TopDown32(header.bmWidth, header.bmHeight);
  std::vector<uint8_t> bits(size_t(header.bmWidth) * header.bmHeight * 4);
  GetDIBits(lumidial::ScopedGetDC(nullptr).get(), bitmap.get(), 0, UINT(header.bmHeight), bits.data(), &info,
            DIB_RGB_COLORS);
  return FromBgra(bits.data(), header.bmWidth, header.bmHeight);
}

bool Differs(Rgb a, Rgb b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)}) > kChannelTolerance;
}

}  // namespace

bool Image::SaveBmp(const std::wstring& path) const {
  const DWORD stride = (DWORD(width_) * 3 + 3) & ~3u, bits = stride * DWORD(height_);
  BITMAPINFOHEADER info{sizeof info, width_, -height_, 1, 24, BI_RGB, bits, 0, 0, 0, 0};
  BITMAPFILEHEADER file{0x4D42, DWORD(sizeof file + sizeof info + bits), 0, 0, DWORD(sizeof file + sizeof info)};
  std::vector<uint8_t> rows(bits);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const Rgb p = At(x, y);
      uint8_t* out = &rows[y * stride + x * 3];
      out[0] = p.b, out[1] = p.g, out[2] = p.r;
    }
  FILE* stream = _wfopen(path.c_str(), L"wb");
  if (!stream) return false;
  const bool written = std::fwrite(&file, sizeof file, 1, stream) == 1 && std::fwrite(&info, sizeof info, 1, stream) == 1 &&
                       std::fwrite(rows.data(), 1, rows.size(), stream) == rows.size();
  return std::fclose(stream) == 0 && written;
}

Image Image::LoadPng(const std::wstring& path) {
  using Microsoft::WRL::ComPtr;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Image image;
  {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    UINT width = 0, height = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))) &&
        SUCCEEDED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr,
                                        0, WICBitmapPaletteTypeCustom)) &&
        SUCCEEDED(converter->GetSize(&width, &height))) {
      std::vector<uint8_t> bgra(size_t(width) * height * 4);
      if (SUCCEEDED(converter->CopyPixels(nullptr, width * 4, UINT(bgra.size()), bgra.data())))
        image = FromBgra(bgra.data(), int(width), int(height));
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return image;
}

Image GrabScreen(std::optional<RECT> rect) {
  const RECT r = rect.value_or(PrimaryRect());
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return {};
  const lumidial::ScopedGetDC screen(nullptr);
  const lumidial::UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
  BITMAPINFO info = TopDown32(width, height);
  void* bits = nullptr;
  const lumidial::UniqueBitmap dib(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  const lumidial::ScopedSelect selected(memory.get(), dib.get());
  if (!BitBlt(memory.get(), 0, 0, width, height, screen.get(), r.left, r.top, SRCCOPY | CAPTUREBLT)) return {};
  GdiFlush();
  return FromBgra(static_cast<const uint8_t*>(bits), width, height);
}

Artwork Artwork::Load(const std::wstring& saverPath) {
  Artwork art;
  const lumidial::UniqueLibrary module(
      LoadLibraryExW(saverPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!module) return art;
  for (int d = 0; d < 10; ++d) art.digits[d] = LoadBitmapResource(module.get(), IDB_DIGIT0 + d);
  art.colon = LoadBitmapResource(module.get(), IDB_COLON);
  art.preview = LoadBitmapResource(module.get(), IDB_PREVIEW);
  return art;
}

ClockLayout ClockLayout::Centred(double scale) {
  return CentredOn(PrimaryRect(), scale);
}

ClockLayout ClockLayout::CentredOn(const RECT& area, double scale) {
  ClockLayout layout{POINT{}, scale};
  layout.panel = {area.left + (area.right - area.left - layout.Scaled(lumidial::kPanelWidth)) / 2,
                  area.top + (area.bottom - area.top - layout.Scaled(lumidial::kPanelHeight)) / 2};
  return layout;
}

int ClockLayout::Scaled(double designPixels) const { return int(std::lround(designPixels * scale)); }

RECT ClockLayout::PanelRect() const {
  return {panel.x, panel.y, panel.x + Scaled(lumidial::kPanelWidth), panel.y + Scaled(lumidial::kPanelHeight)};
}

RECT ClockLayout::PictureRect(int index, int shift) const {
  const lumidial::PictureRect& designed = lumidial::kPictureRects[size_t(index)];
  const int left = panel.x + Scaled(designed.left + shift);
  return RECT{left, panel.y, left + Scaled(designed.width), panel.y + Scaled(designed.height)};
}

namespace {

// Pixels of `picture` placed at (x0, y0) on `screen` that differ: beyond the
// one tolerance, or at all; every pixel off the screen differs.
long Mismatching(const Image& screen, int x0, int y0, const Image& picture, bool exactly) {
  return Count(picture, [&](int x, int y, Rgb p) {
    const int sx = x0 + x, sy = y0 + y;
    return sx < 0 || sy < 0 || sx >= screen.width() || sy >= screen.height() ||
           (exactly ? !(screen.At(sx, sy) == p) : Differs(screen.At(sx, sy), p));
  });
}

}  // namespace

double Difference(const Image& screen, int x0, int y0, const Image& picture) {
  if (picture.empty()) return 100.0;
  return 100.0 * double(Mismatching(screen, x0, y0, picture, false)) / (double(picture.width()) * picture.height());
}

long ExactMismatches(const Image& screen, int x0, int y0, const Image& picture) {
  return Mismatching(screen, x0, y0, picture, true);
}

namespace {

// The middles of the segments a..g in a digit's tile, and of the colon's
// squares in its own, at 96 DPI.
constexpr std::array<POINT, 7> kSegmentMiddles{POINT{110, 43}, {160, 101}, {160, 220}, {110, 278},
                                               {61, 220},      {61, 101},  {110, 160}};
constexpr std::array<POINT, 2> kColonMiddles{POINT{46, 89}, {46, 238}};
// The segments each digit lights, a as bit 0 .. g as bit 6.
constexpr std::array<unsigned, 10> kDigitSegments{0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

// 1 lit (each channel at most 40 above `colour`'s and 55 below), 0 dark
// (each below half of the colour's, or at most 40), -1 neither: not a clock
// picture, or one half drawn. In the design's green: lit from 200, dark
// below 128, with red and blue at most 40.
int SegmentState(const Image& screen, int x, int y, Rgb colour) {
  if (x < 0 || y < 0 || x >= screen.width() || y >= screen.height()) return -1;
  bool lit = true, dark = true;
  for (uint8_t Rgb::*c : {&Rgb::r, &Rgb::g, &Rgb::b}) {
    const int shown = screen.At(x, y).*c, own = colour.*c;
    lit = lit && shown <= own + 40 && shown + 55 >= own, dark = dark && (2 * shown < own || shown <= 40);
  }
  return lit ? 1 : dark ? 0 : -1;
}

}  // namespace

ClockReading ClockReader::ReadWithShift(const Image& screen, int shift) const {
  ClockReading reading;
  reading.shift = shift;
  reading.detail = "shift " + std::to_string(shift) + ":";
  if (layout_.scale != 1.0 || !(colour_ == kDesignGreen)) return ReadSegments(screen, reading);
  double worst = 0.0;
  char detail[64];
  // Picture 2 is the colon; a hidden hour tens is not on the screen.
  for (int picture = shift ? 1 : 0; picture < 5; ++picture) {
    const RECT rect = layout_.PictureRect(picture, shift);
    std::optional<int> best;
    double score = Difference(screen, rect.left, rect.top, Image(rect.right - rect.left, rect.bottom - rect.top));
    for (int d = 0; d < 10 && score > 0.0; ++d) {
      const Image& art = picture == 2 ? artwork_.colon : artwork_.digits[size_t(d)];
      const double s = Difference(screen, rect.left, rect.top, art);
      if (s < score) score = s, best = d;
      if (picture == 2) break;
    }
    if (picture == 2)
      reading.colonShown = best.has_value();
    else
      reading.digitIn(picture) = best;
    worst = std::max(worst, score);
    std::snprintf(detail, sizeof detail, " %c=%.2f%%", best ? '0' + *best : '_', score);
    reading.detail += detail;
  }
  reading.recognised = worst <= kMatchLimit;
  return reading;
}

ClockReading ClockReader::ReadSegments(const Image& screen, ClockReading reading) const {
  const int shift = reading.shift;
  reading.recognised = true;
  for (int picture = shift ? 1 : 0; picture < 5; ++picture) {
    const RECT rect = layout_.PictureRect(picture, shift);
    unsigned lit = 0;
    bool clear = true;
    const auto look = [&](POINT middle, unsigned bit) {
      const int state =
          SegmentState(screen, rect.left + layout_.Scaled(middle.x), rect.top + layout_.Scaled(middle.y), colour_);
      clear = clear && state >= 0;
      if (state == 1) lit |= bit;
    };
    if (picture == 2) {
      for (POINT middle : kColonMiddles) look(middle, 1u);
      reading.colonShown = lit != 0;
      reading.detail += reading.colonShown ? " :" : " .";
      continue;
    }
    for (size_t segment = 0; segment < kSegmentMiddles.size(); ++segment) look(kSegmentMiddles[segment], 1u << segment);
    std::optional<int> digit;
    for (int d = 0; d < 10; ++d)
      if (kDigitSegments[size_t(d)] == lit) digit = d;
    clear = clear && (digit || lit == 0);
    reading.digitIn(picture) = digit;
    reading.recognised = reading.recognised && clear;
    char detail[32];
    std::snprintf(detail, sizeof detail, " %c(%02x)", digit ? '0' + *digit : (clear ? '_' : '?'), lit);
    reading.detail += detail;
  }
  return reading;
}

const Image* ArtShown(const Artwork& art, const ClockReading& reading, int picture) {
  if (picture == 2) return reading.colonShown ? &art.colon : nullptr;
  const std::optional<int>& digit = reading.digitIn(picture);
  return digit ? &art.digits[size_t(*digit)] : nullptr;
}

ClockReading ClockReader::Read(const Image& screen) const {
  const ClockReading full = ReadWithShift(screen, 0);
  if (full.recognised && full.showsTime()) return full;
  ClockReading shifted = ReadWithShift(screen, ClockLayout::kOneDigitShift);
  if (shifted.recognised && shifted.showsTime()) return shifted;
  if (full.recognised) return full;  // e.g. blank before the first tick
  ClockReading unknown = full;
  unknown.detail += " | " + shifted.detail;
  return unknown;
}

std::string ClockReading::text() const {
  std::string out;
  for (int slot = 0; slot < 4; ++slot) {
    if (slot == 2) out += colonShown ? ':' : '.';
    out += digits[size_t(slot)] ? char('0' + *digits[size_t(slot)]) : ' ';
  }
  return out + (recognised ? "" : " (not recognised)");
}

void Extent::Add(int x, int y) {
  left = std::min(left, x), right = std::max(right, x);
  top = std::min(top, y), bottom = std::max(bottom, y);
}

bool Extent::Near(const Extent& other, int tolerance) const {
  return !empty() && !other.empty() && std::abs(left - other.left) <= tolerance &&
         std::abs(right - other.right) <= tolerance && std::abs(top - other.top) <= tolerance &&
         std::abs(bottom - other.bottom) <= tolerance;
}

std::string Extent::text() const {
  return "columns " + std::to_string(left) + ".." + std::to_string(right) + ", rows " + std::to_string(top) + ".." +
         std::to_string(bottom);
}

Extent LitExtent(const Image& image, Rgb colour) {
  return LitExtent(image, {0, 0, image.width(), image.height()}, colour);
}

Extent LitExtent(const Image& image, const RECT& area, Rgb colour) {
  const uint8_t Rgb::*brightest =
      colour.r >= std::max(colour.g, colour.b) ? &Rgb::r : (colour.g >= colour.b ? &Rgb::g : &Rgb::b);
  Extent extent;
  for (int y = std::max(0L, area.top); y < std::min(LONG(image.height()), area.bottom); ++y)
    for (int x = std::max(0L, area.left); x < std::min(LONG(image.width()), area.right); ++x)
      if (2 * (image.At(x, y).*brightest) >= colour.*brightest) extent.Add(x - area.left, y - area.top);
  return extent;
}

std::vector<RECT> MonitorRects() {
  std::vector<RECT> rects;
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR, HDC, LPRECT rect, LPARAM list) {
        reinterpret_cast<std::vector<RECT>*>(list)->push_back(*rect);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&rects));
  return rects;
}

RECT DeskRect() {
  const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN), y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

RECT Within(const RECT& area, RECT r) {
  OffsetRect(&r, -area.left, -area.top);
  return r;
}

RECT PrimaryRect() { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

std::string Describe(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

int MonitorDensity(const RECT& monitor) {
  UINT x = 96, y = 96;
  GetDpiForMonitor(MonitorFromRect(&monitor, MONITOR_DEFAULTTONEAREST), MDT_EFFECTIVE_DPI, &x, &y);
  return int(y);
}

std::string SaveScreenshot(const std::string& name) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::wstring directory = PathFromEnvironment(L"LUMIDIAL_E2E_ARTIFACTS");
  CreateDirectoryW(directory.c_str(), nullptr);
  const std::wstring path =
      directory + L"\\" + Widen(std::string(test ? test->test_suite_name() : "picture") + "-" + name + ".bmp");
  GrabScreen().SaveBmp(path);
  return "screenshot " + Narrow(path);
}

long Count(const Image& image, const std::function<bool(int, int, Rgb)>& which, std::optional<RECT> area) {
  const RECT r = area.value_or(RECT{0, 0, image.width(), image.height()});
  long count = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) count += which(x, y, image.At(x, y));
  return count;
}

long Unlike(const RECT& rect, Rgb colour) {
  const Image shown = GrabScreen(rect);
  return shown.empty() ? -1 : Count(shown, [&](int, int, Rgb p) { return !(p == colour); });
}

HostWindow::HostWindow(POINT at, SIZE size, Kind kind, bool visible) {
  static const ATOM host = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hbrBackground = CreateSolidBrush(kHostColour);
    wc.lpszClassName = L"LumidialTestHost";
    return RegisterClassW(&wc);
  }();
  if (kind == kPreview) {
    window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, MAKEINTATOM(host), L"Host", WS_POPUP, at.x, at.y,
                             size.cx, size.cy, nullptr, nullptr, nullptr, nullptr);
    if (visible) ShowWindow(window, SW_SHOWNA);
    return;
  }
  window = CreateWindowExW(0, MAKEINTATOM(host), L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, at.x, at.y, size.cx,
                           size.cy, nullptr, nullptr, nullptr, nullptr);
  child = CreateWindowExW(0, MAKEINTATOM(host), L"", WS_CHILD | WS_VISIBLE, 10, 10, 120, 90, window, nullptr,
                          nullptr, nullptr);
  PumpMessages();  // its first messages handled
}

HostWindow::~HostWindow() {
  if (owned_)
    DestroyWindow(window);
  else
    PostMessageW(window, WM_CLOSE, 0, 0);
  PumpMessages();
}

Image HostWindow::Shown() const { return GrabScreen(WindowRect(window)); }

int HostWindow::Mismatches(const std::function<Rgb(int, int)>& expected) const {
  const Image shown = Shown();
  return shown.empty() + int(Count(shown, [&](int x, int y, Rgb p) { return Differs(expected(x, y), p); }));
}

bool HostWindow::ShowsOwnColour() const {
  const Rgb own{GetRValue(kHostColour), GetGValue(kHostColour), GetBValue(kHostColour)};
  return Mismatches([&](int, int) { return own; }) == 0;
}

int HostWindow::PreviewMismatches(const Image& picture) const {
  return Mismatches(
      [&](int x, int y) { return x < picture.width() && y < picture.height() ? picture.At(x, y) : Rgb{}; });
}

}  // namespace e2e
