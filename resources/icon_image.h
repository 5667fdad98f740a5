// Pixel images and their encoding as a Windows .ico file. Plain C++17, no Windows headers: the icon is
// generated on the build machine, which may be Linux when the program is cross-compiled.
#pragma once

#include <cstdint>
#include <vector>

namespace korvane::icon {

struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 0;  // 0 transparent .. 255 opaque, not premultiplied
};

// Rows top to bottom, each row left to right.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;

    Image(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h) {}
    Rgba& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    const Rgba& At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

enum class ColourDepth {
    kPalette256 = 8,  // fixed 256-colour palette; transparency only through the AND mask
    kBgra32 = 32,     // 8-bit alpha; the AND mask is kept for programs that ignore alpha
};

struct IconEntry {
    Image image;
    ColourDepth depth;
};

// A pixel counts as transparent in the AND mask (and in the 256-colour image) below this alpha.
constexpr std::uint8_t kMaskAlphaThreshold = 128;

// The fixed palette of the 256-colour images: a 6x6x6 colour cube (index 0 is black, which transparent
// pixels use so that the XOR step leaves the background untouched), then 40 greys between the cube's.
const std::vector<Rgba>& FixedPalette();

// Index of the palette colour nearest to the given one (alpha ignored).
std::uint8_t NearestPaletteIndex(Rgba colour);

// The whole .ico file: header, one directory entry per image in the given order, then each image as a
// BITMAPINFOHEADER DIB (double height), palette if any, bottom-up colour rows and the 1-bit AND mask.
// Throws std::invalid_argument for an image size outside 1..256 or a pixel count that does not match.
std::vector<std::uint8_t> EncodeIco(const std::vector<IconEntry>& entries);

}  // namespace korvane::icon
