#include "registry.h"

#include <vector>

#include "bench.h"

namespace e2e {

namespace {

// What the system says about an error code, for failure messages.
std::string SystemText(LSTATUS status) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = text ? text : L"";
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) message.pop_back();
    return "error " + std::to_string(status) + " (" + Utf8(message) + ")";
}

struct KeyHandle {
    HKEY key = nullptr;
    KeyHandle() = default;
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    ~KeyHandle() { Close(); }
    void Close() {
        if (key) RegCloseKey(key);
        key = nullptr;
    }
};

void OpenForWriting(const RegistryLocation& location, KeyHandle& handle, const std::wstring& path) {
    const LSTATUS status = RegCreateKeyExW(location.root, location.subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                           nullptr, &handle.key, nullptr);
    if (status != ERROR_SUCCESS) FAIL_SCENARIO("cannot create key for " + Utf8(path) + ": " + SystemText(status));
}

void SetValue(const std::wstring& path, DWORD type, const void* data, DWORD size) {
    const RegistryLocation location = ParseRegistryPath(path);
    KeyHandle handle;
    OpenForWriting(location, handle, path);
    const LSTATUS status =
        RegSetValueExW(handle.key, location.valueName.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    if (status != ERROR_SUCCESS) FAIL_SCENARIO("cannot set " + Utf8(path) + ": " + SystemText(status));
}

unsigned g_hiddenKeyCount = 0;  // names one backup key per hidden key, also for two hidden at once

bool Missing(LSTATUS status) {
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

}  // namespace

RegistryLocation ParseRegistryPath(const std::wstring& path) {
    struct Root {
        const wchar_t* name;
        HKEY key;
    };
    static const Root kRoots[] = {
        {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {L"HKLM", HKEY_LOCAL_MACHINE},
        {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},   {L"HKCU", HKEY_CURRENT_USER},
        {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {L"HKCR", HKEY_CLASSES_ROOT},
    };
    const std::size_t firstSeparator = path.find(L'\\');
    const std::wstring rootName = path.substr(0, firstSeparator);
    RegistryLocation location;
    for (const Root& root : kRoots) {
        if (_wcsicmp(rootName.c_str(), root.name) == 0) location.root = root.key;
    }
    if (!location.root || firstSeparator == std::wstring::npos) {
        FAIL_SCENARIO("registry path with an unknown root: " + Quote(path));
    }
    const std::size_t lastSeparator = path.rfind(L'\\');
    location.subkey = path.substr(firstSeparator + 1, lastSeparator - firstSeparator - 1);
    location.valueName = path.substr(lastSeparator + 1);
    return location;
}

bool RegistryValue::operator==(const RegistryValue& other) const {
    if (exists != other.exists) return false;
    if (!exists) return true;
    if (type != other.type) return false;
    return type == REG_DWORD ? number == other.number : text == other.text;
}

std::string Show(const RegistryValue& value) {
    if (!value.exists) return "(absent)";
    switch (value.type) {
        case REG_DWORD:
            return "REG_DWORD " + std::to_string(value.number);
        case REG_SZ:
            return "REG_SZ " + Quote(value.text);
        case REG_EXPAND_SZ:
            return "REG_EXPAND_SZ " + Quote(value.text);
        default:
            return "value of type " + std::to_string(value.type);
    }
}

RegistryValue ReadRegistryValue(const std::wstring& path) {
    const RegistryLocation location = ParseRegistryPath(path);
    const wchar_t* name = location.valueName.c_str();
    DWORD type = REG_NONE;
    DWORD size = 0;
    LSTATUS status =
        RegGetValueW(location.root, location.subkey.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size);
    if (Missing(status)) return RegistryValue::Absent();
    if (status != ERROR_SUCCESS) FAIL_SCENARIO("cannot read " + Utf8(path) + ": " + SystemText(status));

    std::vector<BYTE> data(size + sizeof(wchar_t));
    status = RegGetValueW(location.root, location.subkey.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, data.data(),
                          &size);
    if (status != ERROR_SUCCESS) FAIL_SCENARIO("cannot read " + Utf8(path) + ": " + SystemText(status));

    RegistryValue value;
    value.exists = true;
    value.type = type;
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        value.number = *reinterpret_cast<const DWORD*>(data.data());
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        value.text.assign(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!value.text.empty() && value.text.back() == L'\0') value.text.pop_back();
    }
    return value;
}

namespace {

void SnapshotKey(HKEY key, const std::wstring& name, std::string& snapshot) {
    snapshot += "[" + Utf8(name) + "]\n";
    wchar_t valueName[16384];
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 16384, type = 0, size = static_cast<DWORD>(data.size());
        if (RegEnumValueW(key, i, valueName, &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
        snapshot += Utf8(std::wstring(valueName, nameLength)) + " " + std::to_string(type) + " ";
        for (DWORD b = 0; b < size; ++b) snapshot += Hex(data[b]).substr(8);
        snapshot += "\n";
    }
    wchar_t subkey[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, subkey, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        KeyHandle child;
        if (RegOpenKeyExW(key, subkey, 0, KEY_READ, &child.key) == ERROR_SUCCESS)
            SnapshotKey(child.key, name + L"\\" + subkey, snapshot);
    }
}

}  // namespace

std::string RegistryTreeSnapshot(const std::wstring& keyPath) {
    const RegistryLocation location = ParseRegistryPath(keyPath + L"\\");
    KeyHandle key;
    if (RegOpenKeyExW(location.root, location.subkey.c_str(), 0, KEY_READ, &key.key) != ERROR_SUCCESS) return {};
    std::string snapshot;
    SnapshotKey(key.key, keyPath, snapshot);
    return snapshot;
}

void SetRegistryDword(const std::wstring& path, DWORD value) {
    SetValue(path, REG_DWORD, &value, sizeof value);
}

void SetRegistryString(const std::wstring& path, const std::wstring& value) {
    SetValue(path, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void DeleteRegistryValue(const std::wstring& path) {
    const RegistryLocation location = ParseRegistryPath(path);
    const LSTATUS status = RegDeleteKeyValueW(location.root, location.subkey.c_str(), location.valueName.c_str());
    if (status != ERROR_SUCCESS && !Missing(status)) {
        FAIL_SCENARIO("cannot delete " + Utf8(path) + ": " + SystemText(status));
    }
}

void DeleteRegistryKey(const std::wstring& keyPath) {
    // The whole path names the key here, so parse it as if a value name followed.
    const RegistryLocation location = ParseRegistryPath(keyPath + L"\\");
    const LSTATUS status = RegDeleteTreeW(location.root, location.subkey.c_str());
    if (status != ERROR_SUCCESS && !Missing(status)) {
        FAIL_SCENARIO("cannot delete key " + Utf8(keyPath) + ": " + SystemText(status));
    }
    RegDeleteKeyW(location.root, location.subkey.c_str());
}

HiddenRegistryKey::HiddenRegistryKey(const std::wstring& keyPath) : key_(ParseRegistryPath(keyPath + L"\\")) {
    KeyHandle source;
    if (Missing(RegOpenKeyExW(key_.root, key_.subkey.c_str(), 0, KEY_READ, &source.key))) return;

    const std::wstring backup = L"Software\\KorvaneE2e\\Hidden\\" + std::to_wstring(++g_hiddenKeyCount);
    KeyHandle target;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, backup.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                     &target.key, nullptr);
    if (status == ERROR_SUCCESS) status = RegCopyTreeW(source.key, nullptr, target.key);
    if (status != ERROR_SUCCESS) FAIL_SCENARIO("cannot back up key " + Utf8(keyPath) + ": " + SystemText(status));
    backupSubkey_ = backup;
    source.Close();
    status = RegDeleteTreeW(key_.root, key_.subkey.c_str());
    if (status == ERROR_SUCCESS) status = RegDeleteKeyW(key_.root, key_.subkey.c_str());
    if (status != ERROR_SUCCESS && !Missing(status)) {
        FAIL_SCENARIO("cannot hide key " + Utf8(keyPath) + ": " + SystemText(status));
    }
}

HiddenRegistryKey::~HiddenRegistryKey() {
    if (backupSubkey_.empty()) return;
    KeyHandle backup;
    KeyHandle restored;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, backupSubkey_.c_str(), 0, KEY_READ, &backup.key) == ERROR_SUCCESS &&
        RegCreateKeyExW(key_.root, key_.subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &restored.key,
                        nullptr) == ERROR_SUCCESS &&
        RegCopyTreeW(backup.key, nullptr, restored.key) == ERROR_SUCCESS) {
        backup.Close();
        RegDeleteTreeW(HKEY_CURRENT_USER, backupSubkey_.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, backupSubkey_.c_str());
        return;
    }
    // The later scenarios would run against a damaged registry: say so where it happened.
    RecordFailure(__FILE__, __LINE__, "could not restore the hidden key " + Utf8(key_.subkey));
}

ScopedRegistryString::ScopedRegistryString(std::wstring path, const std::wstring& value)
    : path_(std::move(path)), previous_(ReadRegistryValue(path_)) {
    SetRegistryString(path_, value);
}

ScopedRegistryString::~ScopedRegistryString() {
    if (previous_.exists && previous_.type == REG_SZ) {
        SetRegistryString(path_, previous_.text);
    } else {
        DeleteRegistryValue(path_);
    }
}

}  // namespace e2e
