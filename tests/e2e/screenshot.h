// Pictures of the program's windows for the README and for a person to look at, taken only once the
// windows show everything they hold.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// Saves the part of the screen that `windows` of the program cover together, listed bottom first (a window,
// then its message box), as screenshots\<name>.bmp beside the driver; run.sh converts it to PNG.
// Waits until the windows are shown, has every window and control repaint and waits until each has, then
// captures the screen until two captures in a row are the same and every control that holds
// text shows some where its text belongs (no button without its caption, no empty-looking log, no message
// box without its text). Ends the scenario when that does not happen within 5 s; records a failure when
// the file cannot be written.
void SaveScreenshot(const std::vector<HWND>& windows, const std::wstring& name);

}  // namespace e2e
