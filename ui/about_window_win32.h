// Form2, the About window: the program's name, five points on what it does, its version and date.
// It is modeless and has no behaviour of its own; the Application creates it on demand, and it tells
// the Application when it opens and closes.
#pragma once

#include <windows.h>

#include "platform/win32/scoped.h"
#include "ui/window_win32.h"

namespace korvane {

class Application;

class AboutWindow final : public Window {
public:
    AboutWindow(HINSTANCE instance, Application& application) : instance_(instance), application_(application) {}

    // Shows the window and brings it to the front. When it is not open it is created first, centred
    // over `anchor`.
    bool Show(HWND anchor);

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    void OnCreate();
    void OnDpiChanged(int dpi, const RECT& suggested);
    void OnDestroy();

    bool Create();
    void CreateControls();
    void CreateFonts();
    void ApplyLayout();
    SIZE OuterSize() const;
    void CentreOver(HWND anchor);

    HINSTANCE instance_;
    Application& application_;
    int dpi_ = USER_DEFAULT_SCREEN_DPI;
    GdiObject<HFONT> titleFont_;
    GdiObject<HFONT> defaultFont_;
};

}  // namespace korvane
