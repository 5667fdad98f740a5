#include <winsock2.h>
#include <ws2tcpip.h>

#include "tests/e2e/driver.h"

#include <tlhelp32.h>

#include <stdexcept>

#include "ui/control_ids.h"

namespace e2e {

namespace {

constexpr UINT kAnswerTimeoutMs = 3000;  // for one message to the program

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// The whole text of one of the program's windows.
std::wstring WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &length))
        Abort("the program did not answer WM_GETTEXTLENGTH");
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kAnswerTimeoutMs, &copied))
        Abort("the program did not answer WM_GETTEXT");
    text.resize(copied);
    return text;
}

// Visible top-level windows of `processId` of `className` (and owned by `owner`, when given).
std::vector<HWND> WindowsOf(DWORD processId, const wchar_t* className, HWND owner = nullptr) {
    struct Search {
        DWORD processId;
        const wchar_t* className;
        HWND owner;
        std::vector<HWND> found;
    } search{processId, className, owner, {}};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            DWORD processId = 0;
            GetWindowThreadProcessId(window, &processId);
            if (processId == s.processId && IsWindowVisible(window) && ClassOf(window) == s.className &&
                (!s.owner || GetWindow(window, GW_OWNER) == s.owner))
                s.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct RegistryPath {
    HKEY root = nullptr;
    std::wstring key, value;
};

// "HKEY_LOCAL_MACHINE\\Key\\Value": the part after the last backslash names the value.
RegistryPath Split(const std::wstring& path) {
    const std::size_t first = path.find(L'\\'), last = path.rfind(L'\\');
    const std::wstring root = path.substr(0, first);
    RegistryPath split;
    split.root = root == L"HKEY_LOCAL_MACHINE"  ? HKEY_LOCAL_MACHINE
                 : root == L"HKEY_CURRENT_USER" ? HKEY_CURRENT_USER
                                                : nullptr;
    if (!split.root || first == std::wstring::npos) Abort("not a registry path: " + Utf8(path));
    split.key = path.substr(first + 1, last - first - 1);
    split.value = path.substr(last + 1);
    return split;
}

void SetValue(const std::wstring& path, DWORD type, const void* data, DWORD size) {
    const RegistryPath at = Split(path);
    const LSTATUS status = RegSetKeyValueW(at.root, at.key.c_str(), at.value.c_str(), type, data, size);
    if (status != ERROR_SUCCESS) Abort("cannot set " + Utf8(path) + ": error " + std::to_string(status));
}

void SnapshotKey(HKEY key, const std::wstring& name, std::string& snapshot) {
    wchar_t valueName[16384];
    BYTE data[16384];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 16384, size = sizeof data, type = 0;
        if (RegEnumValueW(key, i, valueName, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        snapshot += Utf8(name + L"\\" + valueName) + " " + std::to_string(type) + " " +
                    std::string(reinterpret_cast<const char*>(data), size) + "\n";
    }
    wchar_t subkey[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, subkey, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, subkey, 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
        SnapshotKey(child, name + L"\\" + subkey, snapshot);
        RegCloseKey(child);
    }
}

}  // namespace

void Abort(const std::string& reason) {
    throw std::runtime_error(reason);
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(20);
    }
}

std::wstring Folder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

Program::Program() {
    WIN32_FIND_DATAW found = {};
    const HANDLE search = FindFirstFileW((Folder() + L"Korvane*.exe").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) Abort("no Korvane*.exe beside the test program");
    FindClose(search);
    const std::wstring path = Folder() + found.cFileName;
    std::wstring commandLine = L"\"" + path + L"\"";  // CreateProcessW may write into it
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, Folder().c_str(),
                        &startup, &info))
        Abort("cannot start the program: error " + std::to_string(GetLastError()));
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    WaitUntil(
        [&] {
            const auto windows = WindowsOf(processId_, korvane::kMainWindowClass);
            main_ = windows.empty() ? nullptr : windows.front();
            return main_ || !Running();
        },
        10000);
    if (!main_) {
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        Abort(Running() ? "no main window within 10 s" : "the program ended with code " + std::to_string(code));
    }
    WaitForInputIdle(process_, 3000);
}

Program::~Program() {
    if (Running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

HWND Program::Control(int id) const {
    HWND control = GetDlgItem(main_, id);
    if (!control) Abort("the main window has no control " + std::to_string(id));
    return control;
}

std::wstring Program::Text(int id) const {
    return WindowText(Control(id));
}

void Program::SetText(int id, const std::wstring& text) const {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                             kAnswerTimeoutMs, &result))
        Abort("the program did not answer WM_SETTEXT");
}

std::wstring Program::WaitForText(int id, const std::wstring& expected) const {
    std::wstring text;
    WaitUntil([&] { return (text = Text(id)) == expected; });
    return text;
}

void Program::Click(int id) const {
    PostMessageW(Control(id), BM_CLICK, 0, 0);
}

std::optional<Box> Program::WaitForMessageBox(DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            const auto boxes = WindowsOf(processId_, L"#32770", main_);
            found = boxes.empty() ? nullptr : boxes.front();
            return found != nullptr;
        },
        timeoutMs);
    if (!found) return std::nullopt;
    Box box;
    box.window = found;
    box.caption = WindowText(found);
    if (HWND text = GetDlgItem(found, 0xFFFF)) box.text = WindowText(text);
    for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
        HWND button = GetDlgItem(found, id);
        if (button && IsWindowVisible(button)) box.buttons.push_back(id);
    }
    return box;
}

void Program::Answer(const Box& box, int buttonId) const {
    PostMessageW(GetDlgItem(box.window, buttonId), BM_CLICK, 0, 0);
    if (!WaitUntil([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); }))
        Abort("the message box \"" + Utf8(box.caption) + "\" stayed open after a click on button " +
              std::to_string(buttonId));
}

void Program::PressKeyInMessageBox(const Box& box, WORD vk) const {
    const DWORD thread = GetWindowThreadProcessId(box.window, nullptr);
    const bool ready = WaitUntil([&] {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetForegroundWindow() == box.window && GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
               (info.hwndFocus == box.window || IsChild(box.window, info.hwndFocus));
    });
    if (!ready) Abort("the message box \"" + Utf8(box.caption) + "\" never had the focus");
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = vk;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    if (SendInput(2, keys, sizeof(INPUT)) != 2) Abort("SendInput failed");
    if (!WaitUntil([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); }))
        Abort("the message box \"" + Utf8(box.caption) + "\" stayed open after the key");
}

bool Program::LoadsLibrary(const std::wstring& nameOrPath) const {
    // LoadLibraryW's address in the program: kernel32's base there plus the function's offset in kernel32.
    BYTE* kernel32 = nullptr;
    const HANDLE modules = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId_);
    MODULEENTRY32W module = {};
    module.dwSize = sizeof module;
    for (BOOL more = Module32FirstW(modules, &module); more && !kernel32; more = Module32NextW(modules, &module)) {
        if (_wcsicmp(module.szModule, L"kernel32.dll") == 0) kernel32 = module.modBaseAddr;
    }
    CloseHandle(modules);
    const HMODULE local = GetModuleHandleW(L"kernel32.dll");
    const auto* function = reinterpret_cast<const BYTE*>(GetProcAddress(local, "LoadLibraryW"));
    if (!kernel32 || !function) Abort("cannot find LoadLibraryW in the program");
    void* start = kernel32 + (function - reinterpret_cast<const BYTE*>(local));

    const SIZE_T bytes = (nameOrPath.size() + 1) * sizeof(wchar_t);
    void* name = VirtualAllocEx(process_, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!name || !WriteProcessMemory(process_, name, nameOrPath.c_str(), bytes, nullptr))
        Abort("cannot write a DLL name into the program");
    const HANDLE thread =
        CreateRemoteThread(process_, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start), name, 0, nullptr);
    if (!thread) Abort("cannot start a thread in the program");
    DWORD module32 = 0;
    if (WaitForSingleObject(thread, 5000) != WAIT_OBJECT_0) Abort("LoadLibraryW did not return in the program");
    GetExitCodeThread(thread, &module32);  // the low half of the module handle; 0 for none
    CloseHandle(thread);
    VirtualFreeEx(process_, name, 0, MEM_RELEASE);
    return module32 != 0;
}

bool Program::Running() const {
    return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Program::WaitForExit(DWORD timeoutMs) const {
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

std::optional<DWORD> ReadDword(const std::wstring& path) {
    const RegistryPath at = Split(path);
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(at.root, at.key.c_str(), at.value.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

std::optional<std::wstring> ReadString(const std::wstring& path) {
    const RegistryPath at = Split(path);
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(at.root, at.key.c_str(), at.value.c_str(), RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(value);
}

void SetDword(const std::wstring& path, DWORD value) {
    SetValue(path, REG_DWORD, &value, sizeof value);
}

void SetString(const std::wstring& path, const std::wstring& value) {
    SetValue(path, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void DeleteValue(const std::wstring& path) {
    const RegistryPath at = Split(path);
    RegDeleteKeyValueW(at.root, at.key.c_str(), at.value.c_str());
}

void DeleteKey(const std::wstring& keyPath) {
    const RegistryPath at = Split(keyPath + L"\\");
    RegDeleteTreeW(at.root, at.key.c_str());
    RegDeleteKeyW(at.root, at.key.c_str());
}

std::string Snapshot(const std::wstring& keyPath) {
    const RegistryPath at = Split(keyPath + L"\\");
    HKEY key = nullptr;
    if (RegOpenKeyExW(at.root, at.key.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    std::string snapshot;
    SnapshotKey(key, keyPath, snapshot);
    RegCloseKey(key);
    return snapshot;
}

ScopedValue::ScopedValue(std::wstring path, const std::wstring& text)
    : path_(std::move(path)), text_(ReadString(path_)), number_(ReadDword(path_)) {
    SetString(path_, text);
}

ScopedValue::ScopedValue(std::wstring path, DWORD number)
    : path_(std::move(path)), text_(ReadString(path_)), number_(ReadDword(path_)) {
    SetDword(path_, number);
}

ScopedValue::~ScopedValue() {
    if (text_) {
        SetString(path_, *text_);
    } else if (number_) {
        SetDword(path_, *number_);
    } else {
        DeleteValue(path_);
    }
}

unsigned short FreePort(unsigned short from) {
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    // Without `from`, from a place of its own for each process in 20000-39999, around to its start.
    const unsigned low = from ? from : 20000, high = from ? 65535 : 39999;
    unsigned port = from ? from : 20000 + GetCurrentProcessId() * 7919 % 20000;
    for (unsigned tries = 0; tries <= high - low; ++tries, port = port >= high ? low : port + 1) {
        bool free = true;
        for (int family : {AF_INET, AF_INET6}) {
            const SOCKET probe = socket(family, SOCK_STREAM, IPPROTO_TCP);
            BOOL on = TRUE;
            setsockopt(probe, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
            sockaddr_in6 address = {};
            address.sin6_family = static_cast<ADDRESS_FAMILY>(family);
            address.sin6_port = htons(static_cast<unsigned short>(port));  // at the same place in sockaddr_in
            const int length = family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
            free = free && probe != INVALID_SOCKET && bind(probe, reinterpret_cast<sockaddr*>(&address), length) == 0;
            closesocket(probe);
        }
        if (free) {
            WSACleanup();
            return static_cast<unsigned short>(port);
        }
    }
    WSACleanup();
    Abort("no free TCP port from " + std::to_string(low));
}

Listener::Listener(unsigned short port) {
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    socket_ = listener;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(listener, 1) != 0) {
        closesocket(listener);
        WSACleanup();
        Abort("the test cannot listen on port " + std::to_string(port));
    }
}

Listener::~Listener() {
    closesocket(static_cast<SOCKET>(socket_));
    WSACleanup();
}

}  // namespace e2e
