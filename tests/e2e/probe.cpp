#include "probe.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cwchar>
#include <utility>

#include "bench.h"
#include "probe/probe_report.h"

namespace e2e {

namespace {

constexpr const wchar_t* kProbeFile = L"e2e_probe.dll";
constexpr DWORD kThreadTimeoutMs = 5000;

struct Handle {
    HANDLE value = nullptr;
    explicit Handle(HANDLE h) : value(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (value) CloseHandle(value);
    }
};

// Base address of the module named `fileName` in process `processId`, or null.
BYTE* RemoteModuleBase(DWORD processId, const wchar_t* fileName) {
    Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    if (!snapshot.value) return nullptr;
    MODULEENTRY32W module = {};
    module.dwSize = sizeof module;
    for (BOOL more = Module32FirstW(snapshot.value, &module); more; more = Module32NextW(snapshot.value, &module)) {
        if (_wcsicmp(module.szModule, fileName) == 0) return module.modBaseAddr;
    }
    return nullptr;
}

// The address in the program of `function`, exported by `module` as loaded in the driver: modules can
// load at different addresses in the two processes, the offset inside the module is the same.
void* RemoteAddress(DWORD processId, const wchar_t* moduleFile, HMODULE localModule, const char* function) {
    BYTE* remoteBase = RemoteModuleBase(processId, moduleFile);
    const auto* local = reinterpret_cast<const BYTE*>(GetProcAddress(localModule, function));
    if (!remoteBase || !local) return nullptr;
    return remoteBase + (local - reinterpret_cast<const BYTE*>(localModule));
}

// Runs `start(argument)` on a new thread in the program and returns the thread's exit code.
DWORD RunRemoteThread(HANDLE process, void* start, void* argument, const char* what) {
    Handle thread(
        CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start), argument, 0, nullptr));
    if (!thread.value)
        FAIL_SCENARIO(std::string("cannot start ") + what + " in the program: error " + std::to_string(GetLastError()));
    if (WaitForSingleObject(thread.value, kThreadTimeoutMs) != WAIT_OBJECT_0) {
        FAIL_SCENARIO(std::string(what) + " did not finish in the program within " + std::to_string(kThreadTimeoutMs) +
                      " ms");
    }
    DWORD code = 0;
    GetExitCodeThread(thread.value, &code);
    return code;
}

void LoadProbeInto(const Program& program, const std::wstring& probePath) {
    const DWORD processId = program.ProcessId();
    if (RemoteModuleBase(processId, kProbeFile)) return;  // loaded by an earlier call

    const SIZE_T bytes = (probePath.size() + 1) * sizeof(wchar_t);
    void* remotePath =
        VirtualAllocEx(program.ProcessHandle(), nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remotePath || !WriteProcessMemory(program.ProcessHandle(), remotePath, probePath.c_str(), bytes, nullptr)) {
        FAIL_SCENARIO("cannot write the probe's path into the program: error " + std::to_string(GetLastError()));
    }
    void* loadLibrary = RemoteAddress(processId, L"kernel32.dll", GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW");
    if (!loadLibrary) FAIL_SCENARIO("cannot find LoadLibraryW in the program");
    RunRemoteThread(program.ProcessHandle(), loadLibrary, remotePath, "LoadLibraryW of the probe");
    VirtualFreeEx(program.ProcessHandle(), remotePath, 0, MEM_RELEASE);
    if (!RemoteModuleBase(processId, kProbeFile)) FAIL_SCENARIO("the program did not load " + Utf8(probePath));
}

std::wstring Text(const wchar_t* fixed, size_t capacity) { return std::wstring(fixed, wcsnlen(fixed, capacity)); }

WindowFacts Convert(const probe::WindowFacts& raw) {
    WindowFacts facts;
    facts.window = reinterpret_cast<HWND>(raw.window);
    facts.className = Text(raw.className, probe::kTextLength);
    facts.dpi = raw.dpi;
    facts.hasMenu = raw.hasMenu != 0;
    facts.menuItemCount = raw.menuItemCount;
    for (int i = 0; i < raw.menuItemCount && i < probe::kMaxMenuItems; ++i) {
        const probe::MenuItemFacts& item = raw.menuItems[i];
        facts.menuItems.push_back(
            {item.id, Text(item.text, probe::kTextLength), item.hasSubmenu != 0, item.type, item.state});
    }
    facts.hasBigIcon = raw.hasBigIcon != 0;
    facts.hasSmallIcon = raw.hasSmallIcon != 0;
    for (int i = 0; i < raw.controlCount && i < probe::kMaxControls; ++i) {
        const probe::ControlFacts& control = raw.controls[i];
        ControlFacts converted;
        converted.id = control.id;
        converted.className = Text(control.className, probe::kTextLength);
        converted.font.present = control.font.present != 0;
        converted.font.face = Text(control.font.face, 32);
        converted.font.height = control.font.height;
        converted.font.weight = control.font.weight;
        converted.font.italic = control.font.italic != 0;
        converted.font.charset = control.font.charset;
        converted.style = control.style;
        const probe::TextFacts& text = control.text;
        converted.text.text = Text(text.text, probe::kTextLength);
        converted.text.clientWidth = text.clientWidth;
        converted.text.clientHeight = text.clientHeight;
        converted.text.textWidth = text.textWidth;
        converted.text.textHeight = text.textHeight;
        converted.text.textInkBottom = text.textInkBottom;
        converted.text.sampleWidth = text.sampleWidth;
        converted.text.sampleHeight = text.sampleHeight;
        converted.text.sampleInkBottom = text.sampleInkBottom;
        converted.text.formatWidth = text.formatWidth;
        converted.text.formatHeight = text.formatHeight;
        facts.controls.push_back(converted);
    }
    return facts;
}

// Room a push button keeps free at each side of its caption for its 3-D border and the focus rectangle
// inside it, and a group box before and after its caption for the corner of its frame, at 96 DPI.
constexpr int kButtonMargin96 = 4;
constexpr int kGroupBoxMargin96 = 8;

bool IsTextStatic(const ControlFacts& control) {
    switch (control.style & SS_TYPEMASK) {
        case SS_LEFT:
        case SS_CENTER:
        case SS_RIGHT:
        case SS_SIMPLE:
        case SS_LEFTNOWORDWRAP:
            return control.IsClass(L"Static");
        default:
            return false;  // pictures, frames and rectangles
    }
}

// Collects "<control>: <what> <needed> px, room for <room> px <direction>" for each size that does not fit.
class ClipReport {
public:
    void Check(const ControlFacts& control, const std::string& what, int needed, int room, const char* direction) {
        if (needed <= room) return;
        lines_.push_back(ControlName(control.id) + ": " + what + " " + std::to_string(needed) + " px, room for " +
                         std::to_string(room) + " px " + direction);
    }
    std::vector<std::string> Lines() && { return std::move(lines_); }

private:
    std::vector<std::string> lines_;
};

}  // namespace

bool ControlFacts::IsClass(const wchar_t* name) const { return _wcsicmp(className.c_str(), name) == 0; }

bool ControlFacts::IsLeftAlignedLabel() const {
    const DWORD type = style & SS_TYPEMASK;
    return IsClass(L"Static") && (type == SS_LEFT || type == SS_LEFTNOWORDWRAP);
}

std::vector<std::string> ClippedTexts(const WindowFacts& window) {
    ClipReport report;
    const auto scaled = [&](int pixelsAt96) { return MulDiv(pixelsAt96, window.dpi, 96); };
    for (const ControlFacts& control : window.controls) {
        const TextFacts& t = control.text;
        const std::string quoted = Quote(t.text);
        if (control.IsClass(L"Edit")) {
            // A single-line edit draws its line from the top of its formatting rectangle. Its digits must
            // show whole; the bottom of the line beneath them (the font's descent) may be cut.
            if (control.style & ES_MULTILINE) continue;
            report.Check(control, "\"65535\" is", t.sampleWidth, t.formatWidth, "across");
            report.Check(control, "\"65535\" reaches", t.sampleInkBottom, t.formatHeight, "down");
        } else if (t.text.empty()) {
            continue;
        } else if (IsTextStatic(control)) {
            // Drawn from the top left of the client area.
            report.Check(control, quoted + " is", t.textWidth, t.clientWidth, "across");
            report.Check(control, quoted + " reaches", t.textInkBottom, t.clientHeight, "down");
        } else if (control.IsClass(L"Button") && (control.style & BS_TYPEMASK) == BS_GROUPBOX) {
            report.Check(control, quoted + " is", t.textWidth, t.clientWidth - 2 * scaled(kGroupBoxMargin96), "across");
        } else if (control.IsClass(L"Button") && ((control.style & BS_TYPEMASK) == BS_PUSHBUTTON ||
                                                  (control.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)) {
            // The caption's line is centred inside the border.
            const int margins = 2 * scaled(kButtonMargin96);
            report.Check(control, quoted + " is", t.textWidth, t.clientWidth - margins, "across");
            report.Check(control, quoted + " is", t.textHeight, t.clientHeight - margins, "down");
        }
    }
    return std::move(report).Lines();
}

ClientRect ExpectedPlacement(const korvane::ControlPlacement& placement, const ControlFacts& control, int dpi,
                             SIZE client) {
    using korvane::TwipsToPixels;
    const korvane::TwipsRect& designed = placement.rect;
    ClientRect rect = {TwipsToPixels(designed.left, dpi), TwipsToPixels(designed.top, dpi),
                       TwipsToPixels(designed.width, dpi), TwipsToPixels(designed.height, dpi)};
    if (!control.IsLeftAlignedLabel()) return rect;
    if (control.text.textWidth > rect.width) {
        rect.width = std::max(rect.width, std::min(control.text.textWidth, static_cast<int>(client.cx) - rect.left));
    }
    if (control.text.textHeight > rect.height) {
        rect.height = std::max(rect.height, std::min(control.text.textHeight, static_cast<int>(client.cy) - rect.top));
    }
    return rect;
}

const ControlFacts& WindowFacts::Control(int id) const {
    for (const ControlFacts& control : controls) {
        if (control.id == id) return control;
    }
    FAIL_SCENARIO("the probe found no " + ControlName(id) + " in window " + Utf8(className));
}

std::vector<WindowFacts> ProbeWindows(const Program& program) {
    const std::wstring probePath = DriverFolder() + kProbeFile;
    HMODULE localProbe = LoadLibraryW(probePath.c_str());
    if (!localProbe) FAIL_SCENARIO("cannot load " + Utf8(probePath) + ": error " + std::to_string(GetLastError()));

    wchar_t name[64];
    swprintf(name, 64, probe::kMappingFormat, static_cast<unsigned long>(program.ProcessId()));
    Handle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(probe::Report), name));
    if (!mapping.value)
        FAIL_SCENARIO("cannot create the probe's shared memory: error " + std::to_string(GetLastError()));
    auto* report = static_cast<probe::Report*>(MapViewOfFile(mapping.value, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!report) FAIL_SCENARIO("cannot map the probe's shared memory");
    struct Unmap {
        void* view;
        ~Unmap() { UnmapViewOfFile(view); }
    } unmap{report};
    report->magic = 0;

    LoadProbeInto(program, probePath);
    void* collect = RemoteAddress(program.ProcessId(), kProbeFile, localProbe, probe::kEntryPoint);
    if (!collect) FAIL_SCENARIO("cannot find the probe's CollectFacts in the program");
    const DWORD code = RunRemoteThread(program.ProcessHandle(), collect, nullptr, "the probe");
    if (code != 0 || report->magic != probe::kReportMagic) {
        FAIL_SCENARIO("the probe failed in the program (code " + std::to_string(code) + ")");
    }

    std::vector<WindowFacts> windows;
    for (int i = 0; i < report->windowCount && i < probe::kMaxWindows; ++i)
        windows.push_back(Convert(report->windows[i]));
    return windows;
}

const WindowFacts& FactsOf(const std::vector<WindowFacts>& windows, HWND window) {
    for (const WindowFacts& facts : windows) {
        if (facts.window == window) return facts;
    }
    FAIL_SCENARIO("the probe did not see the window " +
                  Hex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window))));
}

}  // namespace e2e
