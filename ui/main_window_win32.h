// Form1, the main window: the current port, the new port, the two buttons, the activity log and the
// menu item 关于程序. It creates its controls, runs the start-up sequence before it is first shown and
// forwards clicks to the program's logic; it is that logic's view of the window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "platform/platform.h"
#include "platform/win32/scoped.h"
#include "port/main_view.h"
#include "ui/window_win32.h"

namespace korvane {

class MainWindow final : public ProgramWindow, public MainView {
public:
    MainWindow(HINSTANCE instance, Platform& platform, Application& application);

    // Creates the window and its controls and runs the start-up sequence; the window stays hidden.
    bool Create();
    void Show(int showCommand);

    std::wstring NewPortText() const override;
    void SetNewPortText(const std::wstring& text) override;
    void SetCurrentPortText(const std::wstring& text) override;
    void DisableCurrentPort() override;
    std::wstring LogText() const override;
    void SetLogText(const std::wstring& text) override;

private:
    void CreateControls() override;
    void CreateFonts() override;
    POINT InitialPosition(SIZE outer) const override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    void OnCommand(int id);
    void OnActivate(bool active);
    LRESULT OnCtlColorStatic(HDC dc, HWND control);

    HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
    std::wstring ControlText(int id) const;

    Platform& platform_;
    GdiObject<HFONT> portFont_;
    GdiObject<HFONT> smallFont_;
    GdiObject<HFONT> defaultFont_;
    HWND focusBeforeDeactivation_ = nullptr;
    // The port Remote Desktop is configured for, as start-up read it.
    std::optional<uint32_t> configuredPort_;
};

}  // namespace korvane
