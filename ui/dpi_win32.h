// Dots per inch of a window and sizes that follow it. The per-monitor functions exist only on newer
// Windows, so they are looked up at run time and the system DPI stands in for them elsewhere.
#pragma once

#include <windows.h>

namespace korvane {

int WindowDpi(HWND window);

// Outer size of a window whose client area is `clientWidth` × `clientHeight` pixels at `dpi`.
SIZE OuterSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool hasMenu, int dpi);

// 宋体 with the GB2312 character set, `hundredthsOfPoint` large at `dpi`.
HFONT CreateSongtiFont(int hundredthsOfPoint, bool bold, int dpi);

}  // namespace korvane
