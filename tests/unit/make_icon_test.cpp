// The .ico file that make_icon writes: its directory, the DIB layout of each image, and the transparency
// mask. Windows rejects or misdraws an icon whose offsets, sizes or row padding are off by a byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "resources/icon_art.h"
#include "resources/icon_image.h"

namespace korvane::icon {
namespace {

using Bytes = std::vector<std::uint8_t>;

unsigned U16(const Bytes& bytes, std::size_t at) {
    return bytes.at(at) | bytes.at(at + 1) << 8;
}

std::uint32_t U32(const Bytes& bytes, std::size_t at) {
    return U16(bytes, at) | static_cast<std::uint32_t>(U16(bytes, at + 2)) << 16;
}

struct DirectoryEntry {
    unsigned width, height, colourCount, reserved, planes, bitCount;
    std::uint32_t bytes, offset;
};

DirectoryEntry ReadEntry(const Bytes& file, std::size_t index) {
    const std::size_t at = 6 + 16 * index;
    return {file.at(at),       file.at(at + 1),   file.at(at + 2),   file.at(at + 3),
            U16(file, at + 4), U16(file, at + 6), U32(file, at + 8), U32(file, at + 12)};
}

// Size of one image in the file, worked out from the DIB rules: rows padded to 4 bytes, colour rows then
// 1-bit mask rows, a 256-entry palette for 8 bits per pixel.
std::uint32_t ExpectedImageBytes(unsigned size, unsigned bitCount) {
    const unsigned colourRow = (size * bitCount + 31) / 32 * 4;
    const unsigned maskRow = (size + 31) / 32 * 4;
    return 40 + (bitCount == 8 ? 1024 : 0) + (colourRow + maskRow) * size;
}

TEST(MakeIcon, WritesFourImagesInTheOrderWindowsChoosesFrom) {
    const Bytes file = EncodeIco(AppIconEntries());

    ASSERT_GE(file.size(), 6u + 4 * 16);
    EXPECT_EQ(U16(file, 0), 0u);
    EXPECT_EQ(U16(file, 2), 1u);  // icon, not cursor
    ASSERT_EQ(U16(file, 4), 4u);

    const unsigned expected[4][2] = {{32, 8}, {32, 32}, {48, 8}, {48, 32}};
    std::uint32_t nextOffset = 6 + 4 * 16;
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE("image " + std::to_string(i + 1));
        const DirectoryEntry entry = ReadEntry(file, i);
        const unsigned size = expected[i][0], bitCount = expected[i][1];
        EXPECT_EQ(entry.width, size);
        EXPECT_EQ(entry.height, size);
        EXPECT_EQ(entry.colourCount, 0u);
        EXPECT_EQ(entry.reserved, 0u);
        EXPECT_EQ(entry.planes, 1u);
        EXPECT_EQ(entry.bitCount, bitCount);
        EXPECT_EQ(entry.offset, nextOffset);  // images packed back to back, none overlapping
        EXPECT_EQ(entry.bytes, ExpectedImageBytes(size, bitCount));
        nextOffset = entry.offset + entry.bytes;

        // The image itself starts with a BITMAPINFOHEADER of twice the height (colour and mask rows).
        ASSERT_LE(entry.offset + 40, file.size());
        EXPECT_EQ(U32(file, entry.offset), 40u);
        EXPECT_EQ(U32(file, entry.offset + 4), size);
        EXPECT_EQ(U32(file, entry.offset + 8), 2 * size);
        EXPECT_EQ(U16(file, entry.offset + 12), 1u);
        EXPECT_EQ(U16(file, entry.offset + 14), bitCount);
        EXPECT_EQ(U32(file, entry.offset + 16), 0u);  // BI_RGB
        EXPECT_EQ(U32(file, entry.offset + 32), bitCount == 8 ? 256u : 0u);
    }
    EXPECT_EQ(nextOffset, file.size());
}

// The first mask bit of every image belongs to the bottom-left pixel: a corner of the artwork's background.
TEST(MakeIcon, ArtworkHasTransparentCornersAndAnOpaqueMiddle) {
    const Bytes file = EncodeIco(AppIconEntries());
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE("image " + std::to_string(i + 1));
        const DirectoryEntry entry = ReadEntry(file, i);
        const std::size_t colourRow = (entry.width * entry.bitCount + 31) / 32 * 4;
        const std::size_t maskRow = (entry.width + 31) / 32 * 4;
        const std::size_t mask = entry.offset + 40 + (entry.bitCount == 8 ? 1024 : 0) + colourRow * entry.height;
        auto transparent = [&](unsigned x, unsigned yFromBottom) {
            return (file.at(mask + yFromBottom * maskRow + x / 8) & (0x80 >> (x % 8))) != 0;
        };
        EXPECT_TRUE(transparent(0, 0));
        EXPECT_TRUE(transparent(entry.width - 1, entry.height - 1));
        EXPECT_FALSE(transparent(entry.width / 2, entry.height / 2));
    }
}

// A 3 x 2 image, its top-left pixel opaque red and the rest clear white: stored bottom row first, the odd
// width padded to whole 4-byte rows, clear pixels masked and stored black so that the XOR step leaves the
// background as it was.
Image TopLeftRed() {
    Image image(3, 2);
    for (Rgba& pixel : image.pixels) pixel = {255, 255, 255, 0};
    image.At(0, 0) = {255, 0, 0, 255};
    return image;
}

TEST(MakeIcon, PaletteImageStoresRowsBottomUpAndMasksClearPixels) {
    const Bytes file = EncodeIco({{TopLeftRed(), ColourDepth::kPalette256}});
    const std::size_t palette = 6 + 16 + 40;
    const std::size_t colour = palette + 1024;
    const std::size_t mask = colour + 4 * 2;  // two rows of 3 bytes padded to 4
    ASSERT_EQ(file.size(), mask + 4 * 2);

    auto paletteColour = [&](std::uint8_t index) {
        const std::size_t at = palette + index * 4u;
        return Rgba{file[at + 2], file[at + 1], file[at], 0};
    };
    const Rgba red = paletteColour(file[colour + 4]);  // second stored row is the top row
    EXPECT_EQ(red.r, 255);
    EXPECT_EQ(red.g, 0);
    EXPECT_EQ(red.b, 0);
    for (const std::size_t clear : {colour, colour + 1, colour + 2, colour + 5, colour + 6}) {
        const Rgba black = paletteColour(file[clear]);
        EXPECT_EQ(black.r | black.g | black.b, 0) << "clear pixel at byte " << clear;
    }
    EXPECT_EQ(file[mask], 0xE0);      // bottom row: all three clear
    EXPECT_EQ(file[mask + 4], 0x60);  // top row: only the first pixel shows
}

TEST(MakeIcon, TrueColourImageStoresBgraBottomUp) {
    const Bytes file = EncodeIco({{TopLeftRed(), ColourDepth::kBgra32}});
    const std::size_t colour = 6 + 16 + 40;
    const std::size_t topRow = colour + 3 * 4;
    ASSERT_EQ(file.size(), topRow + 3 * 4 + 4 * 2);
    EXPECT_EQ(U32(file, topRow), 0xFFFF0000u);  // bytes B, G, R, A
    EXPECT_EQ(U32(file, topRow + 4), 0u);
    EXPECT_EQ(U32(file, colour), 0u);
    EXPECT_EQ(file[topRow + 3 * 4 + 4], 0x60);
}

TEST(MakeIcon, RefusesImagesAnIconCannotHold) {
    EXPECT_THROW(EncodeIco({}), std::invalid_argument);
    EXPECT_THROW(EncodeIco({{Image(257, 16), ColourDepth::kBgra32}}), std::invalid_argument);
    Image wrongPixelCount(16, 16);
    wrongPixelCount.pixels.pop_back();
    EXPECT_THROW(EncodeIco({{wrongPixelCount, ColourDepth::kPalette256}}), std::invalid_argument);
}

}  // namespace
}  // namespace korvane::icon
