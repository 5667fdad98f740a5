// The program under test, started for one scenario: its process, its main window and what can be asked
// of them from outside, real input through the system's input queue, and its message boxes.
// The destructor ends the process if it still runs, so a failed check never leaks a program into the
// next scenario.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

// The program's .exe beside the driver (the one .exe there whose name starts with "Korvane").
std::wstring ProgramPath();

// The whole text of a window of the program; ends the scenario when the program does not answer.
std::wstring WindowText(HWND window);

// Name of a control of the program's windows for messages ("Text2", "Command1 (修改)", "About Label1"),
// or its number.
std::string ControlName(int id);

struct ClientRect {
    int left, top, width, height;
    bool operator==(const ClientRect& other) const {
        return left == other.left && top == other.top && width == other.width && height == other.height;
    }
};
std::string Show(const ClientRect& rect);

// A message box of the program (a #32770 dialog owned by its main window) as found on screen.
struct MessageBoxView {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;         // of the static with id 65535
    bool hasIcon = false;      // a visible SS_ICON static
    std::vector<int> buttons;  // IDOK, IDYES, IDNO ... present and visible
};

class Program {
public:
    // Starts the program from its own folder and waits until its main window is visible.
    explicit Program(DWORD windowTimeoutMs = 10000);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    HWND MainWindow() const { return main_; }
    DWORD ProcessId() const { return processId_; }
    DWORD UiThreadId() const { return uiThreadId_; }
    HANDLE ProcessHandle() const { return process_; }

    // Waits for the process to end; the exit code when it did in time.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs);
    bool Running() const;

    // ---- what the window shows ----
    HWND Control(int id) const;  // ends the scenario when the control does not exist
    std::wstring Text(int id) const;
    std::wstring Caption() const;
    bool IsEnabled(int id) const;
    bool IsVisible(int id) const;
    ClientRect RectInClient(int id) const;  // relative to the main window's client area
    SIZE ClientSize() const;
    // The control that has the keyboard focus in the program's UI thread: its id, 0 for none or the
    // window itself, -1 for a window that is not one of the main window's controls.
    int FocusedId() const;
    // Waits until the focus is on `id`; returns the id it last saw.
    int WaitForFocus(int id, DWORD timeoutMs = 2000) const;

    // ---- real input ----
    // Makes the main window the foreground window so that key presses reach it.
    void BringToFront() const;
    void Click(int id) const;
    void DoubleClick(int id) const;
    void ClickAtScreen(POINT point, int clicks = 1) const;
    // A click on 关于程序, the menu bar's only item, at the left of the bar just above the client area.
    void ClickAboutMenu() const;

    // ---- message boxes ----
    // Waits for a message box owned by the main window.
    std::optional<MessageBoxView> WaitForMessageBox(DWORD timeoutMs = 5000) const;
    // Clicks a button of the box (posted, as the box may open another) and waits until the box is gone.
    void Answer(const MessageBoxView& box, int buttonId) const;
    // Presses `vk` on the keyboard into the box: first waits until the box is the foreground window with the
    // keyboard focus inside it (a key pressed before goes to another window and is lost), then until the
    // box is gone.
    void PressKeyInMessageBox(const MessageBoxView& box, WORD vk) const;

    // Waits until control `id` shows `expected`; returns what it showed last.
    std::wstring WaitForText(int id, const std::wstring& expected, DWORD timeoutMs = 5000) const;

private:
    // The screen point at the centre of control `id`; ends the scenario when another window covers it
    // there, since a click would then go to that window.
    POINT UncoveredCentre(int id) const;

    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    DWORD uiThreadId_ = 0;
    HWND main_ = nullptr;
};

// Key presses through SendInput, to whichever window has the focus.
// `vk` with optional modifiers held down around it (e.g. {VK_SHIFT}).
void PressKey(WORD vk, std::initializer_list<WORD> modifiers = {});
// Each character as a Unicode key press (VK_PACKET): arrives as WM_CHAR with that character.
void TypeText(const std::wstring& text);

}  // namespace e2e
