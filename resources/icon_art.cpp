#include "resources/icon_art.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

namespace korvane::icon {

namespace {

// The artwork is laid out on a 48 x 48 grid of design units and scaled to the image size.
constexpr double kDesignSize = 48.0;

// Samples per pixel edge for anti-aliasing: 8 x 8 = 64 samples per pixel.
constexpr int kSmoothSamples = 8;

struct Point {
    double x;
    double y;
};

// A shape is its signed distance in design units: negative inside, positive outside.
using Shape = std::function<double(Point)>;
// A paint gives the colour at a point in design units.
using Paint = std::function<Rgba(Point)>;

Shape RoundedRect(double left, double top, double right, double bottom, double radius) {
    return [=](Point p) {
        const double cx = (left + right) / 2, cy = (top + bottom) / 2;
        const double qx = std::abs(p.x - cx) - ((right - left) / 2 - radius);
        const double qy = std::abs(p.y - cy) - ((bottom - top) / 2 - radius);
        const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
        return outside + std::min(std::max(qx, qy), 0.0) - radius;
    };
}

// Any simple polygon; the points go round it in either direction.
Shape Polygon(std::vector<Point> points) {
    return [points = std::move(points)](Point p) {
        double nearest = 1e9;
        bool inside = false;
        for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            const Point a = points[j], b = points[i];
            const double ex = b.x - a.x, ey = b.y - a.y;
            const double t = std::clamp(((p.x - a.x) * ex + (p.y - a.y) * ey) / (ex * ex + ey * ey), 0.0, 1.0);
            nearest = std::min(nearest, std::hypot(p.x - a.x - t * ex, p.y - a.y - t * ey));
            if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * ex / ey) {
                inside = !inside;
            }
        }
        return inside ? -nearest : nearest;
    };
}

// The shape grown outwards by the given distance (rounding its outer corners).
Shape Grow(Shape shape, double by) {
    return [shape = std::move(shape), by](Point p) { return shape(p) - by; };
}

Shape Union(Shape first, Shape second) {
    return [first = std::move(first), second = std::move(second)](Point p) { return std::min(first(p), second(p)); };
}

constexpr Rgba Hex(std::uint32_t rgb, std::uint8_t alpha = 255) {
    return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb),
            alpha};
}

Paint Solid(Rgba colour) {
    return [colour](Point) { return colour; };
}

// From one colour at the top edge to another at the bottom edge.
Paint VerticalGradient(double top, Rgba topColour, double bottom, Rgba bottomColour) {
    return [=](Point p) {
        const double t = std::clamp((p.y - top) / (bottom - top), 0.0, 1.0);
        auto mix = [t](std::uint8_t a, std::uint8_t b) {
            return static_cast<std::uint8_t>(std::lround(a + (b - a) * t));
        };
        return Rgba{mix(topColour.r, bottomColour.r), mix(topColour.g, bottomColour.g),
                    mix(topColour.b, bottomColour.b), mix(topColour.a, bottomColour.a)};
    };
}

// Paints shapes one over another, each pixel covered in proportion to the samples inside the shape.
class Canvas {
public:
    // samples: per pixel edge; 1 samples each pixel's centre only, giving hard edges.
    Canvas(int size, int samples)
        : size_(size), samples_(samples), colour_(static_cast<std::size_t>(size) * size * 4, 0.0) {}

    void Fill(const Shape& shape, const Paint& paint) {
        const double unitsPerPixel = kDesignSize / size_;
        for (int y = 0; y < size_; ++y) {
            for (int x = 0; x < size_; ++x) {
                const double coverage = Coverage(shape, x * unitsPerPixel, y * unitsPerPixel, unitsPerPixel);
                if (coverage > 0) {
                    const Rgba colour = paint({(x + 0.5) * unitsPerPixel, (y + 0.5) * unitsPerPixel});
                    Blend(x, y, colour, coverage);
                }
            }
        }
    }

    Image ToImage() const {
        Image image(size_, size_);
        for (std::size_t i = 0; i < image.pixels.size(); ++i) {
            const double alpha = colour_[i * 4 + 3];
            auto channel = [&](int c) {
                return static_cast<std::uint8_t>(alpha > 0 ? std::lround(colour_[i * 4 + c] / alpha * 255) : 0);
            };
            image.pixels[i] = {channel(0), channel(1), channel(2), static_cast<std::uint8_t>(std::lround(alpha * 255))};
        }
        return image;
    }

private:
    // The share of the pixel's samples inside the shape. A pixel whose centre is more than a pixel away from
    // the edge lies wholly on one side of it, so only pixels along edges are sampled.
    double Coverage(const Shape& shape, double left, double top, double pixel) {
        const double centre = shape({left + pixel / 2, top + pixel / 2});
        if (centre > pixel) return 0;
        if (centre < -pixel) return 1;
        int inside = 0;
        for (int sy = 0; sy < samples_; ++sy) {
            for (int sx = 0; sx < samples_; ++sx) {
                const Point sample{left + (sx + 0.5) * pixel / samples_, top + (sy + 0.5) * pixel / samples_};
                inside += shape(sample) < 0 ? 1 : 0;
            }
        }
        return static_cast<double>(inside) / (samples_ * samples_);
    }

    // "Over" compositing in premultiplied colour.
    void Blend(int x, int y, Rgba colour, double coverage) {
        double* dst = &colour_[(static_cast<std::size_t>(y) * size_ + x) * 4];
        const double alpha = coverage * colour.a / 255.0;
        const double source[3] = {colour.r / 255.0, colour.g / 255.0, colour.b / 255.0};
        for (int c = 0; c < 3; ++c) dst[c] = source[c] * alpha + dst[c] * (1 - alpha);
        dst[3] = alpha + dst[3] * (1 - alpha);
    }

    int size_;
    int samples_;
    std::vector<double> colour_;  // premultiplied r, g, b, a in 0..1
};

// The artwork's colours. Straight edges below sit on multiples of 3 design units where they can, which
// fall on pixel boundaries at both 32 x 32 and 48 x 48; halves of 3 are still exact at 32 x 32.
constexpr Rgba kBezel = Hex(0x394555);
constexpr Rgba kBezelEdge = Hex(0x161B22);
constexpr Rgba kScreenTop = Hex(0x5AAEFF);
constexpr Rgba kScreenBottom = Hex(0x1A5FC4);
constexpr Rgba kScreenFlat = Hex(0x3366CC);  // a palette colour, so the screen stays one even blue
constexpr Rgba kGlare = Hex(0xFFFFFF, 36);
constexpr Rgba kStand = Hex(0x6B7785);
constexpr Rgba kStandBase = Hex(0x4A5666);
constexpr Rgba kPort = Hex(0x2ECC40);
constexpr Rgba kPortHole = Hex(0x0B3311);
constexpr Rgba kArrow = Hex(0xFF8C1A);
constexpr Rgba kOutline = Hex(0x14202C);
constexpr double kOutlineWidth = 1.5;

void DrawMonitor(Canvas& canvas, Finish finish) {
    canvas.Fill(RoundedRect(13.5, 39, 34.5, 42, 1.5), Solid(kStandBase));
    canvas.Fill(Polygon({{19.5, 35}, {28.5, 35}, {30, 39.5}, {18, 39.5}}), Solid(kStand));
    const Shape bezel = RoundedRect(3, 6, 45, 36, 3);
    canvas.Fill(Grow(bezel, kOutlineWidth), Solid(kBezelEdge));
    canvas.Fill(bezel, Solid(kBezel));
    const Shape screen = RoundedRect(6, 9, 42, 33, 0.75);
    if (finish == Finish::kFlat) {
        canvas.Fill(screen, Solid(kScreenFlat));
        return;
    }
    canvas.Fill(screen, VerticalGradient(9, kScreenTop, 33, kScreenBottom));
    canvas.Fill(Polygon({{6, 9}, {25.5, 9}, {10.5, 33}, {6, 33}}), Solid(kGlare));
}

// A network socket seen from the front: the opening with the latch slot at its foot.
void DrawPort(Canvas& canvas) {
    const Shape socket = RoundedRect(28.5, 15, 39, 27, 1.5);
    canvas.Fill(Grow(socket, kOutlineWidth), Solid(kOutline));
    canvas.Fill(socket, Solid(kPort));
    const Shape opening = Union(RoundedRect(30, 17, 37.5, 22.5, 0.5), RoundedRect(32, 22, 35.5, 25, 0.3));
    canvas.Fill(opening, Solid(kPortHole));
}

// A bold arrow pointing right, into the port.
void DrawArrow(Canvas& canvas) {
    const Shape arrow = Polygon({{7.5, 18}, {16.5, 18}, {16.5, 13.5}, {24, 21}, {16.5, 28.5}, {16.5, 24}, {7.5, 24}});
    canvas.Fill(Grow(arrow, kOutlineWidth), Solid(kOutline));
    canvas.Fill(arrow, Solid(kArrow));
}

}  // namespace

Image DrawAppIcon(int size, Finish finish) {
    // The flat finish has hard edges: blends of two colours would fall between palette entries.
    Canvas canvas(size, finish == Finish::kSmooth ? kSmoothSamples : 1);
    DrawMonitor(canvas, finish);
    DrawPort(canvas);
    DrawArrow(canvas);
    return canvas.ToImage();
}

std::vector<IconEntry> AppIconEntries() {
    std::vector<IconEntry> entries;
    for (const int size : {32, 48}) {
        entries.push_back({DrawAppIcon(size, Finish::kFlat), ColourDepth::kPalette256});
        entries.push_back({DrawAppIcon(size, Finish::kSmooth), ColourDepth::kBgra32});
    }
    return entries;
}

}  // namespace korvane::icon
