#include "Art.h"

#include <array>
#include <cmath>

namespace lumidial::art {

unsigned SegmentsOf(int digit) {
    static constexpr std::array<unsigned, 10> kSets{
        kA | kB | kC | kD | kE | kF,       kB | kC,
        kA | kB | kG | kE | kD,            kA | kB | kG | kC | kD,
        kF | kG | kB | kC,                 kA | kF | kG | kC | kD,
        kA | kF | kG | kE | kD | kC,       kA | kB | kC,
        kA | kB | kC | kD | kE | kF | kG,  kA | kB | kC | kD | kF | kG,
    };
    return digit >= 0 && digit <= 9 ? kSets[std::size_t(digit)] : 0;
}

namespace {

// Lit pixels of one picture; glow and colour come afterwards.
struct Mask {
    int width, height;
    std::vector<std::uint8_t> on;
    Mask(int w, int h) : width(w), height(h), on(std::size_t(w) * h) {}
    void Set(int x, int y) {
        if (x >= 0 && y >= 0 && x < width && y < height) on[std::size_t(y) * width + x] = 1;
    }
    bool Get(int x, int y) const { return on[std::size_t(y) * width + x] != 0; }
};

struct Pt {
    double x, y;
};

double Cross(Pt o, Pt a, Pt b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

// A horizontal bar: a hexagon with pointed ends, vertices clockwise on
// screen starting at the left point.
struct Bar {
    std::array<Pt, 6> v;

    bool Contains(Pt p) const {
        for (std::size_t i = 0; i < v.size(); ++i)
            if (Cross(v[i], v[(i + 1) % v.size()], p) < 0) return false;
        return true;
    }

    double Distance(Pt p) const {
        if (Contains(p)) return 0;
        double best = 1e300;
        for (std::size_t i = 0; i < v.size(); ++i) {
            const Pt a = v[i], b = v[(i + 1) % v.size()];
            const double dx = b.x - a.x, dy = b.y - a.y;
            double t = ((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy);
            t = t < 0 ? 0 : (t > 1 ? 1 : t);
            const double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
            best = std::fmin(best, std::sqrt(ex * ex + ey * ey));
        }
        return best;
    }
};

// How far the flat edge of a horizontal bar runs over the vertical bars,
// as a share of the bar thickness; from there the bevel runs out to the
// point. Half puts the bevel over the outer half of the verticals, whose
// ends then follow it with a chamfered outer corner.
constexpr double kFlatOverVertical = 0.5;

// Coordinates are in pixels with pixel (x, y) covering [x, x+1) x [y, y+1);
// a pixel is lit when its centre falls inside a segment.
struct DigitShape {
    std::array<Bar, 3> bars;     // a, g, d
    std::array<double, 3> mids;  // their centre lines
    double leftIn, leftOut, rightIn, rightOut;
    double gap;

    explicit DigitShape(const DigitBox& box) : gap(box.gap) {
        leftOut = box.left + box.inset;
        leftIn = leftOut + box.thick;
        rightOut = box.right + 1.0 - box.inset;
        rightIn = rightOut - box.thick;
        const double h = box.thick / 2.0;
        const double flatL = leftIn - kFlatOverVertical * box.thick;
        const double flatR = rightIn + kFlatOverVertical * box.thick;
        // The pixel row nearest the centre line is half a pixel off it for
        // an even thickness; place the points so that this row reaches
        // exactly from `left` to `right`.
        const double off = (box.thick % 2 == 0) ? 0.5 / h : 0.0;
        const double tipR = (box.right + 1.0 - flatR * off) / (1 - off);
        const double tipL = (box.left - flatL * off) / (1 - off);
        const double middle = std::floor((box.top + box.bottom + 1) / 2.0 - h);
        const std::array<double, 3> tops{double(box.top), middle, box.bottom + 1.0 - box.thick};
        for (std::size_t i = 0; i < 3; ++i) {
            const double y0 = tops[i], y1 = y0 + box.thick, yc = y0 + h;
            mids[i] = yc;
            bars[i].v = {Pt{tipL, yc}, Pt{flatL, y0}, Pt{flatR, y0},
                         Pt{tipR, yc}, Pt{flatR, y1}, Pt{flatL, y1}};
        }
    }

    // A vertical bar fills its column band between two bar centre lines,
    // keeping `gap` clear of both bars.
    bool InVertical(Pt p, bool right, std::size_t upper) const {
        const double x0 = right ? rightIn : leftOut, x1 = right ? rightOut : leftIn;
        if (p.x < x0 || p.x >= x1 || p.y <= mids[upper] || p.y >= mids[upper + 1]) return false;
        return bars[upper].Distance(p) >= gap && bars[upper + 1].Distance(p) >= gap;
    }

    bool Lit(Pt p, unsigned segments) const {
        return ((segments & kA) && bars[0].Contains(p)) || ((segments & kG) && bars[1].Contains(p)) ||
               ((segments & kD) && bars[2].Contains(p)) || ((segments & kB) && InVertical(p, true, 0)) ||
               ((segments & kC) && InVertical(p, true, 1)) || ((segments & kF) && InVertical(p, false, 0)) ||
               ((segments & kE) && InVertical(p, false, 1));
    }
};

void DrawDigit(Mask& mask, const DigitBox& box, unsigned segments) {
    const DigitShape shape(box);
    for (int y = box.top; y <= box.bottom; ++y)
        for (int x = box.left; x <= box.right; ++x)
            if (shape.Lit(Pt{x + 0.5, y + 0.5}, segments)) mask.Set(x, y);
}

void FillRect(Mask& mask, int x0, int y0, int x1, int y1) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) mask.Set(x, y);
}

// The glow: dark green that falls off with the distance to the nearest lit
// pixel and is exactly black from `radius` on.
struct Glow {
    int radius;
    double peak;
};

Image Shade(const Mask& mask, const Glow& glow) {
    Image image(mask.width, mask.height);
    const int r = glow.radius;
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            if (mask.Get(x, y)) {
                image.at(x, y) = kLit;
                continue;
            }
            int best = (r + 1) * (r + 1);
            for (int dy = -r; dy <= r; ++dy) {
                const int yy = y + dy;
                if (yy < 0 || yy >= mask.height) continue;
                for (int dx = -r; dx <= r; ++dx) {
                    const int xx = x + dx;
                    if (xx >= 0 && xx < mask.width && dx * dx + dy * dy < best && mask.Get(xx, yy))
                        best = dx * dx + dy * dy;
                }
            }
            const double t = (std::sqrt(double(best)) - 0.5) / r;
            if (t >= 1) continue;
            const double f = (1 - t) * (1 - t);
            image.at(x, y).g = std::uint8_t(std::lround(glow.peak * f));
        }
    }
    return image;
}

// The clock's digit tiles. The bars' points reach columns 24..196 and run
// on past the vertical bars (41..80 and 140..179), so the "1", which is the
// right-hand verticals alone, sits where the verticals of every other digit
// do. Rows 23..297 leave the glow room inside the 325-row tile; the colon
// tile shares the glow so that the two kinds of tile match side by side.
constexpr DigitBox kTileDigit{24, 196, 23, 297, 40, 17, 5.0};
constexpr Glow kTileGlow{16, 100};

}  // namespace

Image RenderDigit(int digit) {
    Mask mask(kDigitWidth, kDigitHeight);
    DrawDigit(mask, kTileDigit, SegmentsOf(digit));
    return Shade(mask, kTileGlow);
}

Image RenderColon() {
    Mask mask(kColonWidth, kDigitHeight);
    FillRect(mask, 26, 69, 65, 108);
    FillRect(mask, 26, 218, 65, 257);
    return Shade(mask, kTileGlow);
}

// "12:30" at about an eighth of the tile size, for the little monitor in
// the screen-saver settings; the wider gap keeps the verticals from growing
// one-pixel ears at this size.
Image RenderPreview() {
    Mask mask(kPreviewWidth, kPreviewHeight);
    const auto small = [](int left) { return DigitBox{left, left + 20, 40, 72, 5, 2, 1.5}; };
    DrawDigit(mask, small(15), SegmentsOf(1));
    DrawDigit(mask, small(41), SegmentsOf(2));
    FillRect(mask, 69, 45, 73, 49);
    FillRect(mask, 69, 63, 73, 67);
    DrawDigit(mask, small(81), SegmentsOf(3));
    DrawDigit(mask, small(107), SegmentsOf(0));
    return Shade(mask, Glow{3, 100});
}

namespace {

// The standard 16-colour palette; the 16-colour icons keep to its black and
// bright green, since its dark green is far brighter than the glow.
constexpr std::array<Rgb, 16> kVgaPalette{
    Rgb{0, 0, 0},     Rgb{128, 0, 0},   Rgb{0, 128, 0},   Rgb{128, 128, 0},
    Rgb{0, 0, 128},   Rgb{128, 0, 128}, Rgb{0, 128, 128}, Rgb{192, 192, 192},
    Rgb{128, 128, 128}, Rgb{255, 0, 0}, Rgb{0, 255, 0},   Rgb{255, 255, 0},
    Rgb{0, 0, 255},   Rgb{255, 0, 255}, Rgb{0, 255, 255}, Rgb{255, 255, 255},
};
constexpr std::uint8_t kVgaBlack = 0, kVgaGreen = 10;

// One icon picture: an "8" on a black panel whose rounded corners are
// transparent.
struct IconPicture {
    Image colour;
    std::vector<std::uint8_t> transparent;
};

IconPicture DrawIcon(int size) {
    Mask mask(size, size);
    // At icon sizes the tile digits' long points would swallow the counters,
    // so the icon draws a plain "8" whose segments meet at 45-degree corners.
    const bool small = size == 16;
    const double left = small ? 4 : 10, right = small ? 12 : 22, top = small ? 2 : 3.5,
                 bottom = small ? 14 : 28.5, half = small ? 1 : 2, gap = small ? 0.5 : 1.2;
    const double middle = (top + bottom) / 2;
    // A bar from `from` to `to` along its length, `h` either side of its
    // centre line, with 45-degree points.
    const auto bar = [](double along, double across, double from, double to, double h) {
        const double off = std::fabs(across);
        return off <= h && along >= from + off && along <= to - off;
    };
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            bool on = false;
            for (double yc : {top, middle, bottom}) on = on || bar(px, py - yc, left + gap, right - gap, half);
            for (double xc : {left, right})
                on = on || bar(py, px - xc, top + gap, middle - gap, half) ||
                     bar(py, px - xc, middle + gap, bottom - gap, half);
            if (on) mask.Set(x, y);
        }
    }
    IconPicture pic{Shade(mask, Glow{size / 8, 100}), std::vector<std::uint8_t>(std::size_t(size) * size)};
    const int round = size / 8;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int cx = x < round ? round - x : (x >= size - round ? x - (size - 1 - round) : 0);
            const int cy = y < round ? round - y : (y >= size - round ? y - (size - 1 - round) : 0);
            if (cx * cx + cy * cy > round * round) {
                pic.transparent[std::size_t(y) * size + x] = 1;
                pic.colour.at(x, y) = Rgb{};
            }
        }
    }
    return pic;
}

// BITMAPINFOHEADER, palette, colour rows and AND mask rows, bottom-up, as
// an .ico stores them.
Bytes IconImageData(const IconPicture& pic, int bits) {
    const int size = pic.colour.width;
    const std::uint32_t colourStride = (std::uint32_t(size * bits) + 31) / 32 * 4;
    const std::uint32_t maskStride = (std::uint32_t(size) + 31) / 32 * 4;
    Bytes out;
    PutU32(out, 40);
    PutU32(out, std::uint32_t(size));
    PutU32(out, std::uint32_t(size * 2));  // colour rows plus mask rows
    PutU16(out, 1);
    PutU16(out, std::uint32_t(bits));
    PutU32(out, 0);
    PutU32(out, (colourStride + maskStride) * std::uint32_t(size));
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, bits == 4 ? 16 : 0);
    PutU32(out, 0);
    if (bits == 4) {
        for (const Rgb& c : kVgaPalette) {
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
            out.push_back(0);
        }
    }
    for (int y = size - 1; y >= 0; --y) {
        Bytes row(colourStride);
        for (int x = 0; x < size; ++x) {
            const Rgb& c = pic.colour.at(x, y);
            if (bits == 4) {
                row[std::size_t(x / 2)] |= std::uint8_t((c == kLit ? kVgaGreen : kVgaBlack) << (x % 2 == 0 ? 4 : 0));
            } else {
                row[std::size_t(x) * 3] = c.b;
                row[std::size_t(x) * 3 + 1] = c.g;
                row[std::size_t(x) * 3 + 2] = c.r;
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = size - 1; y >= 0; --y) {
        Bytes row(maskStride);
        for (int x = 0; x < size; ++x)
            if (pic.transparent[std::size_t(y) * size + x]) row[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

Bytes BuildIcon() {
    struct Entry {
        int size, bits;
    };
    constexpr std::array<Entry, 4> kEntries{Entry{16, 4}, Entry{32, 4}, Entry{16, 24}, Entry{32, 24}};
    std::vector<Bytes> images;
    for (const Entry& e : kEntries) images.push_back(IconImageData(DrawIcon(e.size), e.bits));

    Bytes out;
    PutU16(out, 0);
    PutU16(out, 1);  // icon
    PutU16(out, kEntries.size());
    std::uint32_t offset = 6 + 16 * std::uint32_t(kEntries.size());
    for (std::size_t i = 0; i < kEntries.size(); ++i) {
        out.push_back(std::uint8_t(kEntries[i].size));
        out.push_back(std::uint8_t(kEntries[i].size));
        out.push_back(kEntries[i].bits == 4 ? 16 : 0);
        out.push_back(0);
        PutU16(out, 1);
        PutU16(out, std::uint32_t(kEntries[i].bits));
        PutU32(out, std::uint32_t(images[i].size()));
        PutU32(out, offset);
        offset += std::uint32_t(images[i].size());
    }
    for (const Bytes& image : images) out.insert(out.end(), image.begin(), image.end());
    return out;
}

std::vector<std::pair<std::string, Bytes>> AllArtwork() {
    std::vector<std::pair<std::string, Bytes>> files;
    for (int d = 0; d <= 9; ++d)
        files.emplace_back("digit" + std::to_string(d) + ".bmp", EncodeBmp(RenderDigit(d)));
    files.emplace_back("colon.bmp", EncodeBmp(RenderColon()));
    files.emplace_back("preview.bmp", EncodeBmp(RenderPreview()));
    files.emplace_back("lumidial.ico", BuildIcon());
    return files;
}

}  // namespace lumidial::art
