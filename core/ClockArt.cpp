#include "ClockArt.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace lumidial::art {

int ScaledSize(int designPixels, double scale) {
    const long scaled = std::lround(designPixels * scale);
    return scaled < 1 ? 1 : int(scaled);
}

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

// Coordinates are pixels, pixel (x, y) covering [x, x+1) x [y, y+1).
struct Pt {
    double x, y;
};

// Half the diagonal of a pixel, rounded up: a pixel whose centre lies
// further than this inside or outside an edge lies wholly on that side.
constexpr double kHalfDiagonal = 0.70711;
// Rounding in the clipping below can leave a wholly covered pixel a hair
// short of 1; no partly covered pixel comes this close.
constexpr double kWhole = 1.0 - 1e-9;

// A convex polygon, vertices clockwise on the screen (y grows downwards).
class Shape {
public:
    explicit Shape(const std::vector<Pt>& vertices) {
        left = right = vertices.front().x;
        top = bottom = vertices.front().y;
        for (std::size_t i = 0; i < vertices.size(); ++i) {
            const Pt a = vertices[i], b = vertices[(i + 1) % vertices.size()];
            Edge e;
            e.a = a;
            e.dx = b.x - a.x;
            e.dy = b.y - a.y;
            e.length2 = e.dx * e.dx + e.dy * e.dy;
            const double length = std::sqrt(e.length2);
            e.nx = e.dy / length;  // outward: the interior lies to the right of a clockwise edge
            e.ny = -e.dx / length;
            e.c = -(e.nx * a.x + e.ny * a.y);
            edges_.push_back(e);
            left = std::min(left, a.x);
            right = std::max(right, a.x);
            top = std::min(top, a.y);
            bottom = std::max(bottom, a.y);
        }
    }

    double left, top, right, bottom;

    // How far `p` lies beyond the edge line it is furthest beyond: at most 0
    // inside, where its negative is the depth below the nearest edge.
    double Beyond(Pt p) const {
        double worst = -1e300;
        for (const Edge& e : edges_) worst = std::max(worst, e.nx * p.x + e.ny * p.y + e.c);
        return worst;
    }

    // Distance from an outside point to the outline.
    double Distance(Pt p) const {
        double best = 1e300;
        for (const Edge& e : edges_) {
            if (e.nx * p.x + e.ny * p.y + e.c <= 0) continue;  // the nearest point lies on an edge p faces
            double t = ((p.x - e.a.x) * e.dx + (p.y - e.a.y) * e.dy) / e.length2;
            t = t < 0 ? 0 : (t > 1 ? 1 : t);
            const double ex = e.a.x + t * e.dx - p.x, ey = e.a.y + t * e.dy - p.y;
            best = std::min(best, ex * ex + ey * ey);
        }
        return std::sqrt(best);
    }

    // The share of pixel (x, y) inside: the pixel square clipped by every
    // edge, then its area.
    double Coverage(int x, int y) const {
        std::array<Pt, 64> a{}, b{};
        a[0] = {double(x), double(y)};
        a[1] = {x + 1.0, double(y)};
        a[2] = {x + 1.0, y + 1.0};
        a[3] = {double(x), y + 1.0};
        std::size_t n = 4;
        for (const Edge& e : edges_) {
            std::size_t m = 0;
            for (std::size_t i = 0; i < n && m + 2 <= b.size(); ++i) {
                const Pt p = a[i], q = a[(i + 1) % n];
                const double fp = e.nx * p.x + e.ny * p.y + e.c, fq = e.nx * q.x + e.ny * q.y + e.c;
                const bool pIn = fp <= 1e-12, qIn = fq <= 1e-12;
                if (pIn) b[m++] = p;
                if (pIn != qIn) {
                    const double t = fp / (fp - fq);
                    b[m++] = {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)};
                }
            }
            std::swap(a, b);
            n = m;
            if (n < 3) return 0;
        }
        double twice = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const Pt p = a[i], q = a[(i + 1) % n];
            twice += p.x * q.y - q.x * p.y;
        }
        return std::fabs(twice) / 2;
    }

private:
    struct Edge {
        Pt a;
        double dx, dy, length2;
        double nx, ny, c;
    };
    std::vector<Edge> edges_;
};

// A dark-green glow around the segments: `peak` at their outline, falling
// off with the square of the distance and black from `radius` on.
struct Glow {
    double radius;
    double peak;
};

// Each pixel: the glow of its distance to the nearest shape, with the
// green of the shapes blended over it as far as they cover the pixel. The
// shapes never overlap.
GreenImage Render(int width, int height, const std::vector<Shape>& shapes, const Glow& glow) {
    GreenImage image(width, height);
    const double reach = glow.radius;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Pt p{x + 0.5, y + 0.5};
            double nearest = reach, covered = 0;
            for (const Shape& shape : shapes) {
                if (p.x < shape.left - reach || p.x > shape.right + reach || p.y < shape.top - reach ||
                    p.y > shape.bottom + reach)
                    continue;
                const double beyond = shape.Beyond(p);
                if (beyond >= nearest) continue;  // neither nearer nor touching the pixel
                if (beyond <= 0) {
                    nearest = 0;
                    covered += -beyond >= kHalfDiagonal ? 1.0 : shape.Coverage(x, y);
                } else {
                    nearest = std::min(nearest, shape.Distance(p));
                    if (beyond < kHalfDiagonal) covered += shape.Coverage(x, y);
                }
            }
            if (covered >= kWhole) {
                image.at(x, y) = kLitLevel;
                continue;
            }
            const double fade = 1 - nearest / reach;
            const double halo = nearest < reach ? glow.peak * fade * fade : 0;
            const long level = std::lround(halo + covered * (kLitLevel - halo));
            image.at(x, y) = std::uint8_t(std::min<long>(level, kLitLevel - 1));
        }
    }
    return image;
}

// Design coordinates to pixels: scaled, then moved.
struct Place {
    double scale = 1, dx = 0, dy = 0;
    Pt operator()(double x, double y) const { return {x * scale + dx, y * scale + dy}; }
};

// A seven-segment digit: the extent its segments fill, the thickness of
// every bar, how far the vertical bars stand inside the extent (the
// horizontal bars' points reach out over them to its edges), the clearance
// kept between neighbouring segments, and how high the vertical bars'
// pointed ends rise. Every segment is pointed alike at both ends, and the
// digit is symmetric about its middle bar.
struct DigitFrame {
    double left, right, top, bottom;
    double thick, inset, gap, rise;
};

void AddDigit(std::vector<Shape>& shapes, const DigitFrame& f, unsigned segments, const Place& at) {
    const double middleTop = (f.top + f.bottom) / 2 - f.thick / 2;
    const std::array<std::pair<unsigned, double>, 3> bars{
        std::pair{unsigned(kA), f.top}, std::pair{unsigned(kG), middleTop},
        std::pair{unsigned(kD), f.bottom - f.thick}};
    for (const auto& [segment, y0] : bars) {
        if (!(segments & segment)) continue;
        const double y1 = y0 + f.thick, mid = y0 + f.thick / 2;
        const double flat0 = f.left + f.inset, flat1 = f.right - f.inset;
        shapes.emplace_back(std::vector<Pt>{at(f.left, mid), at(flat0, y0), at(flat1, y0), at(f.right, mid),
                                            at(flat1, y1), at(flat0, y1)});
    }
    struct Upright {
        unsigned segment;
        bool right, lower;
    };
    for (const Upright u : {Upright{kB, true, false}, Upright{kC, true, true}, Upright{kF, false, false},
                            Upright{kE, false, true}}) {
        if (!(segments & u.segment)) continue;
        const double x0 = u.right ? f.right - f.inset - f.thick : f.left + f.inset, x1 = x0 + f.thick;
        const double mid = (x0 + x1) / 2;
        const double y0 = (u.lower ? middleTop : f.top) + f.thick + f.gap;
        const double y1 = (u.lower ? f.bottom - f.thick : middleTop) - f.gap;
        shapes.emplace_back(std::vector<Pt>{at(mid, y0), at(x1, y0 + f.rise), at(x1, y1 - f.rise), at(mid, y1),
                                            at(x0, y1 - f.rise), at(x0, y0 + f.rise)});
    }
}

void AddBox(std::vector<Shape>& shapes, double x0, double y0, double x1, double y1, const Place& at) {
    shapes.emplace_back(std::vector<Pt>{at(x0, y0), at(x1, y0), at(x1, y1), at(x0, y1)});
}

// The clock's tiles. The horizontal bars' points reach columns 24..196,
// past the vertical bars (41..80 and 140..179), so the "1", which is the
// right-hand verticals alone, stands where the verticals of every other
// digit do. Rows 23..297 leave the glow room inside the 325-row tile; the
// colon tile has the same glow, so the two kinds of tile match side by side.
constexpr DigitFrame kTileDigit{24, 197, 23, 298, 40, 17, 5, 10};
constexpr Glow kTileGlow{16, kGlowPeak};

// The preview's digits, about an eighth of the tile's size; a wider gap
// keeps the segments apart at this size.
constexpr DigitFrame kPreviewDigit{0, 21, 40, 73, 5, 2, 1, 1};
constexpr Glow kPreviewGlow{3, kGlowPeak};

}  // namespace

GreenImage DrawDigit(int digit, double scale) {
    std::vector<Shape> shapes;
    AddDigit(shapes, kTileDigit, SegmentsOf(digit), Place{scale});
    return Render(ScaledSize(kDigitWidth, scale), ScaledSize(kDigitHeight, scale), shapes,
                  Glow{kTileGlow.radius * scale, kTileGlow.peak});
}

GreenImage DrawColon(double scale) {
    std::vector<Shape> shapes;
    AddBox(shapes, 26, 69, 66, 109, Place{scale});
    AddBox(shapes, 26, 218, 66, 258, Place{scale});
    return Render(ScaledSize(kColonWidth, scale), ScaledSize(kDigitHeight, scale), shapes,
                  Glow{kTileGlow.radius * scale, kTileGlow.peak});
}

GreenImage DrawPreview(double scale) {
    std::vector<Shape> shapes;
    const std::pair<int, double> digits[] = {{1, 15}, {2, 41}, {3, 81}, {0, 107}};
    for (const auto& [digit, left] : digits)
        AddDigit(shapes, kPreviewDigit, SegmentsOf(digit), Place{scale, left * scale, 0});
    AddBox(shapes, 69, 45, 74, 50, Place{scale});
    AddBox(shapes, 69, 63, 74, 68, Place{scale});
    return Render(ScaledSize(kPreviewWidth, scale), ScaledSize(kPreviewHeight, scale), shapes,
                  Glow{kPreviewGlow.radius * scale, kPreviewGlow.peak});
}

// The icon is designed on a 32-pixel grid, its bars on whole pixels there;
// at 16 pixels it has a frame of its own, since half a 32-pixel bar would
// blur. The panel's corners are rounded with a radius of an eighth.
IconFace DrawIconFace(int size) {
    const bool tiny = size <= 16;
    const double unit = tiny ? 16 : 32;
    const Place at{size / unit};
    const DigitFrame frame = tiny ? DigitFrame{4, 12, 1, 15, 2, 1, 0.5, 0.5} : DigitFrame{8, 24, 2, 29, 3, 2, 1, 1};
    std::vector<Shape> shapes;
    AddDigit(shapes, frame, SegmentsOf(8), at);
    IconFace face{Render(size, size, shapes, Glow{unit / 8 * at.scale, kGlowPeak}),
                  std::vector<std::uint8_t>(std::size_t(size) * std::size_t(size))};

    // The panel: a square whose corners are quarter circles, each drawn as
    // eight straight pieces. The cosines of 0, 11.25, ... 90 degrees are
    // written out, so that no library function's rounding enters the icon.
    constexpr double kCos[9] = {1.0, 0.98078528040323044913, 0.92387953251128675613, 0.83146961230254523708,
                                0.70710678118654752440, 0.55557023301960222474, 0.38268343236508977173,
                                0.19509032201612826785, 0.0};
    const double r = unit / 8;
    std::vector<Pt> outline;
    for (int corner = 0; corner < 4; ++corner) {
        for (int k = 0; k <= 8; ++k) {
            const double c = r * kCos[k], s = r * kCos[8 - k];
            switch (corner) {  // clockwise on the screen, from the top
            case 0: outline.push_back(at(unit - r + s, r - c)); break;
            case 1: outline.push_back(at(unit - r + c, unit - r + s)); break;
            case 2: outline.push_back(at(r - s, unit - r + c)); break;
            default: outline.push_back(at(r - c, r - s)); break;
            }
        }
    }
    const Shape panel(outline);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double beyond = panel.Beyond(Pt{x + 0.5, y + 0.5});
            const double share = beyond <= -kHalfDiagonal ? 1.0 : (beyond >= kHalfDiagonal ? 0.0 : panel.Coverage(x, y));
            face.opacity[std::size_t(y) * std::size_t(size) + std::size_t(x)] =
                std::uint8_t(share >= kWhole ? 255 : std::min<long>(std::lround(share * 255), 254));
        }
    return face;
}

}  // namespace lumidial::art
