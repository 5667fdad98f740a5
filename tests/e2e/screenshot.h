// Pictures of the program's windows for the README and for a person to look at, taken only once the
// windows show everything they hold.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "program.h"

namespace e2e {

// Saves the part of the screen that `windows` of the program cover together, listed bottom first (a window,
// then its message box), as screenshots\<name>.bmp beside the driver; run.sh converts it to PNG.
// The program first repaints every window and control (through the probe); the screen is then captured
// until two captures in a row are the same. Records a failure when the picture does not settle within
// 5 s, when a control that has text shows a flat face where the text belongs (a button without its
// caption, an empty-looking log, a message box without its text), or when the file cannot be written.
void SaveScreenshot(const Program& program, const std::vector<HWND>& windows, const std::wstring& name);

}  // namespace e2e
