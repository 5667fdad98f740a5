#include "resources/icon_image.h"

#include <stdexcept>
#include <string>

namespace korvane::icon {

namespace {

constexpr std::size_t kIconDirSize = 6;
constexpr std::size_t kIconDirEntrySize = 16;
constexpr std::size_t kBitmapInfoHeaderSize = 40;
constexpr std::size_t kPaletteEntries = 256;

void PutU8(std::vector<std::uint8_t>& out, unsigned value) { out.push_back(static_cast<std::uint8_t>(value)); }

void PutU16(std::vector<std::uint8_t>& out, unsigned value) {
    PutU8(out, value & 0xFF);
    PutU8(out, (value >> 8) & 0xFF);
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    PutU16(out, value & 0xFFFF);
    PutU16(out, value >> 16);
}

// DIB rows are padded to a multiple of four bytes.
std::size_t RowBytes(int width, int bitsPerPixel) {
    return (static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32 * 4;
}

bool IsTransparent(Rgba pixel) { return pixel.a < kMaskAlphaThreshold; }

std::size_t PaletteBytes(ColourDepth depth) { return depth == ColourDepth::kPalette256 ? kPaletteEntries * 4 : 0; }

std::size_t ColourBytes(const IconEntry& entry) {
    return RowBytes(entry.image.width, static_cast<int>(entry.depth)) * entry.image.height;
}

std::size_t MaskBytes(const IconEntry& entry) { return RowBytes(entry.image.width, 1) * entry.image.height; }

std::size_t ImageBytes(const IconEntry& entry) {
    return kBitmapInfoHeaderSize + PaletteBytes(entry.depth) + ColourBytes(entry) + MaskBytes(entry);
}

void CheckImage(const IconEntry& entry, std::size_t index) {
    const Image& image = entry.image;
    const std::string which = "icon image " + std::to_string(index + 1);
    if (image.width < 1 || image.width > 256 || image.height < 1 || image.height > 256) {
        throw std::invalid_argument(which + ": size must be 1 to 256 pixels each way");
    }
    if (image.pixels.size() != static_cast<std::size_t>(image.width) * image.height) {
        throw std::invalid_argument(which + ": pixel count does not match its size");
    }
    if (entry.depth != ColourDepth::kPalette256 && entry.depth != ColourDepth::kBgra32) {
        throw std::invalid_argument(which + ": unsupported colour depth");
    }
}

void PutDirectoryEntry(std::vector<std::uint8_t>& out, const IconEntry& entry, std::uint32_t offset) {
    PutU8(out, entry.image.width & 0xFF);  // 256 is written as 0
    PutU8(out, entry.image.height & 0xFF);
    PutU8(out, 0);   // colour count: 0 for 256 colours and more
    PutU8(out, 0);   // reserved
    PutU16(out, 1);  // planes
    PutU16(out, static_cast<unsigned>(entry.depth));
    PutU32(out, static_cast<std::uint32_t>(ImageBytes(entry)));
    PutU32(out, offset);
}

void PutBitmapInfoHeader(std::vector<std::uint8_t>& out, const IconEntry& entry) {
    PutU32(out, kBitmapInfoHeaderSize);
    PutU32(out, static_cast<std::uint32_t>(entry.image.width));
    PutU32(out, static_cast<std::uint32_t>(entry.image.height * 2));  // colour rows and mask rows together
    PutU16(out, 1);
    PutU16(out, static_cast<unsigned>(entry.depth));
    PutU32(out, 0);  // BI_RGB
    PutU32(out, static_cast<std::uint32_t>(ColourBytes(entry) + MaskBytes(entry)));
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, entry.depth == ColourDepth::kPalette256 ? kPaletteEntries : 0);
    PutU32(out, 0);
}

void PutPalette(std::vector<std::uint8_t>& out) {
    for (const Rgba& colour : FixedPalette()) {
        PutU8(out, colour.b);
        PutU8(out, colour.g);
        PutU8(out, colour.r);
        PutU8(out, 0);
    }
}

// Colour rows, bottom row first as DIBs are stored.
void PutColourRows(std::vector<std::uint8_t>& out, const IconEntry& entry) {
    const Image& image = entry.image;
    const std::size_t rowBytes = RowBytes(image.width, static_cast<int>(entry.depth));
    for (int y = image.height - 1; y >= 0; --y) {
        const std::size_t rowStart = out.size();
        for (int x = 0; x < image.width; ++x) {
            const Rgba pixel = image.At(x, y);
            if (entry.depth == ColourDepth::kPalette256) {
                PutU8(out, IsTransparent(pixel) ? 0 : NearestPaletteIndex(pixel));
            } else if (pixel.a == 0) {
                PutU32(out, 0);  // fully clear pixels carry no colour
            } else {
                PutU8(out, pixel.b);
                PutU8(out, pixel.g);
                PutU8(out, pixel.r);
                PutU8(out, pixel.a);
            }
        }
        out.resize(rowStart + rowBytes, 0);
    }
}

// AND mask rows, bottom row first; a set bit leaves the background showing.
void PutMaskRows(std::vector<std::uint8_t>& out, const Image& image) {
    const std::size_t rowBytes = RowBytes(image.width, 1);
    for (int y = image.height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(rowBytes, 0);
        for (int x = 0; x < image.width; ++x) {
            if (IsTransparent(image.At(x, y))) {
                row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
}

std::vector<Rgba> MakeFixedPalette() {
    std::vector<Rgba> palette;
    palette.reserve(kPaletteEntries);
    for (int r = 0; r < 6; ++r) {
        for (int g = 0; g < 6; ++g) {
            for (int b = 0; b < 6; ++b) {
                palette.push_back({static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                                   static_cast<std::uint8_t>(b * 51), 255});
            }
        }
    }
    // Eight greys inside each of the five gaps between the cube's own greys: 216 + 40 = 256.
    for (int step = 0; step < 5; ++step) {
        for (int inside = 1; inside <= 8; ++inside) {
            const auto grey = static_cast<std::uint8_t>(step * 51 + (51 * inside + 4) / 9);
            palette.push_back({grey, grey, grey, 255});
        }
    }
    return palette;
}

}  // namespace

const std::vector<Rgba>& FixedPalette() {
    static const std::vector<Rgba> palette = MakeFixedPalette();
    return palette;
}

std::uint8_t NearestPaletteIndex(Rgba colour) {
    // Weighted distance: the eye tells greens apart best and blues worst.
    const std::vector<Rgba>& palette = FixedPalette();
    std::size_t best = 0;
    long bestDistance = -1;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const long dr = colour.r - palette[i].r;
        const long dg = colour.g - palette[i].g;
        const long db = colour.b - palette[i].b;
        const long distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return static_cast<std::uint8_t>(best);
}

std::vector<std::uint8_t> EncodeIco(const std::vector<IconEntry>& entries) {
    if (entries.empty() || entries.size() > 0xFFFF) {
        throw std::invalid_argument("an icon file holds 1 to 65535 images");
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        CheckImage(entries[i], i);
    }

    std::vector<std::uint8_t> out;
    PutU16(out, 0);  // reserved
    PutU16(out, 1);  // resource type: icon
    PutU16(out, static_cast<unsigned>(entries.size()));

    std::size_t offset = kIconDirSize + kIconDirEntrySize * entries.size();
    for (const IconEntry& entry : entries) {
        PutDirectoryEntry(out, entry, static_cast<std::uint32_t>(offset));
        offset += ImageBytes(entry);
    }
    for (const IconEntry& entry : entries) {
        PutBitmapInfoHeader(out, entry);
        if (entry.depth == ColourDepth::kPalette256) {
            PutPalette(out);
        }
        PutColourRows(out, entry);
        PutMaskRows(out, entry.image);
    }
    return out;
}

}  // namespace korvane::icon
