// Geometry of the windows, kept in twips as designed and turned into pixels in one place.
#pragma once

#include <cstddef>

namespace korvane {

// Pixels for a length in twips (1/1440 inch) at `dpi`, rounded like MulDiv(twips, dpi, 1440).
int TwipsToPixels(int twips, int dpi);

struct TwipsRect {
    int left, top, width, height;
};

// One control of a window: its identifier and its rectangle relative to the window's client area.
struct ControlPlacement {
    int id;
    TwipsRect rect;
};

// Main window: client area and controls, positions already resolved from their frames to the client area.
constexpr int kMainClientWidth = 4890;
constexpr int kMainClientHeight = 3975;
extern const ControlPlacement kMainLayout[];
extern const std::size_t kMainLayoutCount;

// About window: client area and controls. Line1 runs from (600, 480) to (3480, 480); it is placed as a
// rectangle one pixel high at 96 DPI (15 twips), so that it thickens with the scaling like everything else.
constexpr int kAboutClientWidth = 4050;
constexpr int kAboutClientHeight = 2415;
extern const ControlPlacement kAboutLayout[];
extern const std::size_t kAboutLayoutCount;

// Font sizes in hundredths of a point.
constexpr int kPortFontSize = 2175;        // Text1, Text2: bold
constexpr int kSmallFontSize = 1050;       // Label1, rizhi
constexpr int kDefaultFontSize = 900;      // everything else
constexpr int kAboutTitleFontSize = 1200;  // the About window's Label1
// Pixel height of a font of `hundredthsOfPoint` at `dpi` (as a negative LOGFONT height means: character height).
int FontPixelHeight(int hundredthsOfPoint, int dpi);

// A label's width or height in pixels along one side, from `start` (its left or top): `designed` while its
// text, `needed` long in its font, fits in that; otherwise `needed`, as a label that sizes itself to its text
// would be, but not past `end` (the client area's right or bottom edge). Never less than designed.
// Glyph widths do not scale exactly with the DPI, and the fonts found on a machine are not the designer's.
int LabelLengthForText(int start, int designed, int needed, int end);

}  // namespace korvane
