// Driving the real program from the end-to-end tests, which run in the same Wine prefix: starting it, its
// windows' texts, clicks on its buttons, its message boxes, and the registry it reads and writes. Every
// wait is for a condition, with a limit; a helper that cannot go on throws, which ends the test with the
// reason (GoogleTest reports the exception).
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/shared/utf8_win32.h"

namespace e2e {

using expected::Utf8;

// The line each change logs on the bench before its checks' questions: Wine has no MSFT_NetTCPSetting (WMI
// answers "invalid namespace"), so the program says that it assumes the default dynamic range.
inline const std::wstring kRangeNotToldLine =
    L"未能读取动态端口范围：WMI 查询失败（错误代码 0x8004100E），按默认的 49152-65535 检查\r\n";

// Ends the test: what could not be done.
[[noreturn]] void Abort(const std::string& reason);

// Polls `condition` every 20 ms until it holds; false when `timeoutMs` passed first.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

// The folder of the test program, with a trailing backslash; the program under test lies beside it.
std::wstring Folder();

// A message box of the program: a #32770 window owned by its main window.
struct Box {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;         // of the static with id 65535
    std::vector<int> buttons;  // IDOK, IDYES, IDNO ... shown
};

class Program {
public:
    // Starts the program from its folder and waits until its main window shows.
    Program();
    // Ends the program if it still runs.
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    HWND Main() const { return main_; }
    HWND Control(int id) const;
    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text) const;
    // Waits until control `id` shows `expected`; returns what it showed last.
    std::wstring WaitForText(int id, const std::wstring& expected) const;
    // A click on a button, posted: a modal box it opens does not hold up the test.
    void Click(int id) const;

    std::optional<Box> WaitForMessageBox(DWORD timeoutMs = 5000) const;
    // Clicks a button of the box and waits until the box is gone.
    void Answer(const Box& box, int buttonId) const;
    // A key on the real keyboard, into the box: once the box is the foreground window with the focus in it,
    // and then waits until the box is gone.
    void PressKeyInMessageBox(const Box& box, WORD vk) const;

    // Whether LoadLibraryW(`nameOrPath`), called on a thread in the program as its own code would call it,
    // loads a DLL there.
    bool LoadsLibrary(const std::wstring& nameOrPath) const;

    bool Running() const;
    std::optional<DWORD> WaitForExit(DWORD timeoutMs) const;

private:
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    HWND main_ = nullptr;
};

// The registry, in the script-host form of paths the program uses ("HKEY_LOCAL_MACHINE\\Key\\Value").
std::optional<DWORD> ReadDword(const std::wstring& path);
std::optional<std::wstring> ReadString(const std::wstring& path);
void SetDword(const std::wstring& path, DWORD value);
void SetString(const std::wstring& path, const std::wstring& value);
void DeleteValue(const std::wstring& path);
// `keyPath` names a key, with everything beneath it.
void DeleteKey(const std::wstring& keyPath);
// Every value beneath the key as one text: two snapshots are equal exactly when nothing beneath it changed.
std::string Snapshot(const std::wstring& keyPath);

// Sets a value for as long as it lives, then puts back what was there, or nothing.
class ScopedValue {
public:
    ScopedValue(std::wstring path, const std::wstring& text);
    ScopedValue(std::wstring path, DWORD number);
    ~ScopedValue();
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;

private:
    std::wstring path_;
    std::optional<std::wstring> text_;
    std::optional<DWORD> number_;
};

// A TCP port that nothing on the machine uses now, so that runs side by side (two checkouts, say) never meet
// on a port: below the dynamic range, from 20000 on; or, given `from`, the first free one from there.
unsigned short FreePort(unsigned short from = 0);

// A TCP listener of the test's own on 0.0.0.0, for a port another program holds.
class Listener {
public:
    explicit Listener(unsigned short port);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

private:
    UINT_PTR socket_;
};

}  // namespace e2e
