#include "program.h"

#include <cstdio>
#include <vector>

#include "bench.h"
#include "ui/control_ids.h"

namespace e2e {

namespace {

constexpr UINT kAnswerTimeoutMs = 3000;  // for one message to the program

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

DWORD ProcessOf(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

// Visible top-level windows of `processId` whose class is `className` and, when given, whose owner is `owner`.
std::vector<HWND> TopLevelWindows(DWORD processId, const wchar_t* className, HWND owner = nullptr) {
    struct Search {
        DWORD processId;
        const wchar_t* className;
        HWND owner;
        std::vector<HWND> found;
    } search{processId, className, owner, {}};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            if (ProcessOf(window) == s.processId && IsWindowVisible(window) && ClassOf(window) == s.className &&
                (!s.owner || GetWindow(window, GW_OWNER) == s.owner)) {
                s.found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void Send(std::vector<INPUT>& inputs) {
    const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    if (sent != inputs.size()) {
        FAIL_SCENARIO("SendInput delivered " + std::to_string(sent) + " of " + std::to_string(inputs.size()) +
                      " events");
    }
}

INPUT KeyInput(WORD vk, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    switch (vk) {
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
        case VK_HOME:
        case VK_END:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_INSERT:
        case VK_DELETE:
            input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
            break;
        default:
            break;
    }
    return input;
}

INPUT MouseInput(DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return input;
}

POINT CentreOnScreen(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

}  // namespace

std::wstring WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &length)) {
        FAIL_SCENARIO("the program did not answer WM_GETTEXTLENGTH within " + std::to_string(kAnswerTimeoutMs) + " ms");
    }
    std::vector<wchar_t> buffer(length + 1);
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &copied)) {
        FAIL_SCENARIO("the program did not answer WM_GETTEXT within " + std::to_string(kAnswerTimeoutMs) + " ms");
    }
    return std::wstring(buffer.data(), copied);
}

std::wstring ProgramPath() {
    const std::wstring folder = DriverFolder();
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((folder + L"Korvane*.exe").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) FAIL_SCENARIO("no Korvane*.exe beside the driver in " + Utf8(folder));
    const std::wstring path = folder + found.cFileName;
    const bool another = FindNextFileW(search, &found);
    FindClose(search);
    if (another) FAIL_SCENARIO("more than one Korvane*.exe beside the driver in " + Utf8(folder));
    return path;
}

std::string ControlName(int id) {
    using namespace korvane;
    switch (id) {
        case kIdFrame1:
            return "Frame1";
        case kIdText1:
            return "Text1";
        case kIdLabel1:
            return "Label1";
        case kIdCommand1:
            return "Command1 (修改)";
        case kIdFrame2:
            return "Frame2";
        case kIdRizhi:
            return "rizhi";
        case kIdText2:
            return "Text2";
        case kIdCommand2:
            return "Command2 (退出)";
        case kIdLabel2:
            return "Label2";
        case kIdLabel3:
            return "Label3";
        case kIdAboutLabel1:
            return "About Label1";
        case kIdAboutLabel2:
            return "About Label2";
        case kIdAboutLabel3:
            return "About Label3";
        case kIdAboutLabel4:
            return "About Label4";
        case kIdAboutLabel5:
            return "About Label5";
        case kIdAboutLabel6:
            return "About Label6";
        case kIdAboutLabel7:
            return "About Label7";
        case kIdAboutLabel8:
            return "About Label8";
        case kIdAboutLine1:
            return "About Line1";
        case 0:
            return "no control";
        case -1:
            return "a window outside the main window";
        default:
            return "control " + std::to_string(id);
    }
}

std::string Show(const ClientRect& rect) {
    char text[96];
    std::snprintf(text, sizeof text, "(left %d, top %d, width %d, height %d)", rect.left, rect.top, rect.width,
                  rect.height);
    return text;
}

Program::Program(DWORD windowTimeoutMs) {
    const std::wstring path = ProgramPath();
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    std::wstring commandLine = L"\"" + path + L"\"";  // CreateProcessW may write into it
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &info)) {
        FAIL_SCENARIO("cannot start " + Utf8(path) + ": error " + std::to_string(GetLastError()));
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;

    std::string problem;
    WaitUntil(
        [&] {
            DWORD code = 0;
            if (GetExitCodeProcess(process_, &code) && code != STILL_ACTIVE) {
                problem = "the program ended with exit code " + Hex(code) + " before showing its main window";
                if (code == 0xC0000135) problem += " (a DLL it imports is missing)";
                return true;
            }
            const std::vector<HWND> windows = TopLevelWindows(processId_, korvane::kMainWindowClass);
            if (windows.size() > 1) problem = "the program shows more than one main window";
            if (!windows.empty()) main_ = windows.front();
            return main_ != nullptr;
        },
        windowTimeoutMs);
    if (!main_ && problem.empty()) {
        problem = "no visible KorvaneForm1 window of the program within " + std::to_string(windowTimeoutMs) + " ms";
    }
    if (!problem.empty()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
        CloseHandle(process_);
        FAIL_SCENARIO(problem);
    }
    uiThreadId_ = GetWindowThreadProcessId(main_, nullptr);
    // Let the first paint and any work queued at start-up finish before the scenario looks.
    WaitForInputIdle(process_, 3000);
}

Program::~Program() {
    if (!process_) return;
    if (Running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

bool Program::Running() const {
    return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Program::WaitForExit(DWORD timeoutMs) {
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

HWND Program::Control(int id) const {
    HWND control = GetDlgItem(main_, id);
    if (!control) FAIL_SCENARIO("the main window has no " + ControlName(id));
    return control;
}

std::wstring Program::Text(int id) const {
    return WindowText(Control(id));
}

std::wstring Program::Caption() const {
    return WindowText(main_);
}

bool Program::IsEnabled(int id) const {
    return IsWindowEnabled(Control(id)) != FALSE;
}

bool Program::IsVisible(int id) const {
    return IsWindowVisible(Control(id)) != FALSE;
}

ClientRect Program::RectInClient(int id) const {
    RECT rect = {};
    GetWindowRect(Control(id), &rect);
    MapWindowPoints(HWND_DESKTOP, main_, reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

SIZE Program::ClientSize() const {
    RECT rect = {};
    GetClientRect(main_, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

int Program::FocusedId() const {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(uiThreadId_, &info) || !info.hwndFocus || info.hwndFocus == main_) return 0;
    // A control may have inner windows of its own; the focus counts for the control that holds them.
    for (HWND window = info.hwndFocus; window; window = GetParent(window)) {
        if (GetParent(window) == main_) return GetDlgCtrlID(window);
    }
    return -1;
}

int Program::WaitForFocus(int id, DWORD timeoutMs) const {
    int focused = 0;
    WaitUntil([&] { return (focused = FocusedId()) == id; }, timeoutMs);
    return focused;
}

void Program::BringToFront() const {
    if (GetForegroundWindow() == main_) return;
    SetForegroundWindow(main_);
    if (WaitUntil([&] { return GetForegroundWindow() == main_; }, 1000)) return;
    // Sharing the program's input state lifts any restriction on who may set the foreground.
    AttachThreadInput(GetCurrentThreadId(), uiThreadId_, TRUE);
    SetForegroundWindow(main_);
    AttachThreadInput(GetCurrentThreadId(), uiThreadId_, FALSE);
    if (!WaitUntil([&] { return GetForegroundWindow() == main_; }, 2000)) {
        FAIL_SCENARIO("cannot bring the main window to the foreground");
    }
}

void Program::Click(int id) const {
    BringToFront();
    ClickAtScreen(UncoveredCentre(id));
}

void Program::DoubleClick(int id) const {
    BringToFront();
    ClickAtScreen(UncoveredCentre(id), 2);
}

POINT Program::UncoveredCentre(int id) const {
    const POINT centre = CentreOnScreen(Control(id));
    HWND hit = WindowFromPoint(centre);
    HWND root = hit ? GetAncestor(hit, GA_ROOT) : nullptr;
    if (root != main_) {
        FAIL_SCENARIO("cannot click " + ControlName(id) + ": another window lies over its centre (class " +
                      Utf8(root ? ClassOf(root) : L"none") + ", caption " + Quote(root ? WindowText(root) : L"") + ")");
    }
    return centre;
}

void Program::ClickAtScreen(POINT point, int clicks) const {
    if (!SetCursorPos(point.x, point.y)) FAIL_SCENARIO("cannot move the mouse pointer");
    std::vector<INPUT> inputs;
    for (int i = 0; i < clicks; ++i) {
        inputs.push_back(MouseInput(MOUSEEVENTF_LEFTDOWN));
        inputs.push_back(MouseInput(MOUSEEVENTF_LEFTUP));
    }
    Send(inputs);
}

std::optional<MessageBoxView> Program::WaitForMessageBox(DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            const std::vector<HWND> boxes = TopLevelWindows(processId_, L"#32770", main_);
            found = boxes.empty() ? nullptr : boxes.front();
            return found != nullptr;
        },
        timeoutMs);
    if (!found) return std::nullopt;

    MessageBoxView box;
    box.window = found;
    box.caption = WindowText(found);
    if (HWND text = GetDlgItem(found, 0xFFFF)) box.text = WindowText(text);
    for (HWND child = GetWindow(found, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (!IsWindowVisible(child) || _wcsicmp(ClassOf(child).c_str(), L"Static") != 0 ||
            (style & SS_TYPEMASK) != SS_ICON) {
            continue;
        }
        // Wine keeps the icon static of a box without an icon, visible but empty.
        DWORD_PTR icon = 0;
        SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &icon);
        box.hasIcon = box.hasIcon || icon != 0;
    }
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
        HWND button = GetDlgItem(found, id);
        if (button && IsWindowVisible(button)) box.buttons.push_back(id);
    }
    return box;
}

void Program::Answer(const MessageBoxView& box, int buttonId) const {
    HWND button = GetDlgItem(box.window, buttonId);
    if (!button) FAIL_SCENARIO("the message box has no button " + std::to_string(buttonId));
    PostMessageW(button, BM_CLICK, 0, 0);
    if (!WaitUntil([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); }, 5000)) {
        FAIL_SCENARIO("the message box " + Quote(box.caption) + " stayed open after its button " +
                      std::to_string(buttonId) + " was clicked");
    }
}

void Program::PressKeyInMessageBox(const MessageBoxView& box, WORD vk) const {
    const auto keysReachTheBox = [&] {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetForegroundWindow() == box.window && GetGUIThreadInfo(uiThreadId_, &info) && info.hwndFocus &&
               (info.hwndFocus == box.window || IsChild(box.window, info.hwndFocus));
    };
    if (!WaitUntil(keysReachTheBox, 5000)) {
        FAIL_SCENARIO("the message box " + Quote(box.caption) + " never became the foreground window with the focus");
    }
    PressKey(vk);
    if (!WaitUntil([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); }, 5000)) {
        FAIL_SCENARIO("the message box " + Quote(box.caption) + " stayed open after a key press");
    }
}

std::wstring Program::WaitForText(int id, const std::wstring& expected, DWORD timeoutMs) const {
    std::wstring text;
    WaitUntil([&] { return (text = Text(id)) == expected; }, timeoutMs);
    return text;
}

void Program::ClickAboutMenu() const {
    // Two clicks on the same spot within the double-click time make a double-click on the menu bar,
    // which chooses nothing: space them as a person would.
    Sleep(GetDoubleClickTime() + 50);
    BringToFront();
    POINT clientOrigin = {0, 0};
    ClientToScreen(main_, &clientOrigin);
    ClickAtScreen({clientOrigin.x + 20, clientOrigin.y - GetSystemMetrics(SM_CYMENU) / 2});
}

void PressKey(WORD vk, std::initializer_list<WORD> modifiers) {
    std::vector<INPUT> inputs;
    for (WORD modifier : modifiers) inputs.push_back(KeyInput(modifier, false));
    inputs.push_back(KeyInput(vk, false));
    inputs.push_back(KeyInput(vk, true));
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) inputs.push_back(KeyInput(*it, true));
    Send(inputs);
}

void TypeText(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        for (bool up : {false, true}) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(input);
        }
    }
    if (!inputs.empty()) Send(inputs);
}

}  // namespace e2e
