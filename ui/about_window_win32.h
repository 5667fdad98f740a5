// Form2, the About window: the program's name, five points on what it does, its version and date.
// It is modeless and has no behaviour of its own; the Application creates it on demand, and it tells
// the Application when it opens and closes.
#pragma once

#include <windows.h>

#include "platform/win32/scoped.h"
#include "ui/window_win32.h"

namespace korvane {

class AboutWindow final : public ProgramWindow {
public:
    AboutWindow(HINSTANCE instance, Application& application);

    // Shows the window and brings it to the front. When it is not open it is created first, centred
    // over `anchor`.
    bool Show(HWND anchor);

private:
    bool Create();
    void CreateControls() override;
    void CreateFonts() override;
    void CentreOver(HWND anchor);

    GdiObject<HFONT> titleFont_;
    GdiObject<HFONT> defaultFont_;
};

}  // namespace korvane
