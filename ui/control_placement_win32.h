// Puts a window's controls where its layout table says, at the window's DPI, in one place for every window.
#pragma once

#include <windows.h>

#include <cstddef>

#include "ui/layout.h"

namespace korvane {

// Moves each control of `layout` to its rectangle at `dpi`. A label (a static showing its text from the
// left) whose text, in its own font at this DPI, is wider or taller than its designed rectangle grows to
// its text, as a label sized to its text would, but not past the client area of `clientWidth` ×
// `clientHeight` pixels; every left and top, and every other size, stays as designed. Set the fonts first.
void PlaceControls(HWND window, const ControlPlacement* layout, std::size_t count, int clientWidth, int clientHeight,
                   int dpi);

}  // namespace korvane
