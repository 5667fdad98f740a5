// Seeding and reading back the test prefix's registry. Paths are given in the script-host form the
// program itself uses ("HKEY_LOCAL_MACHINE\\Key\\Sub\\ValueName": the part after the last backslash
// is the value name; a trailing backslash names the key's default value), so scenarios pass the
// program's own constants. A seeding step that fails ends the scenario: nothing after it would mean anything.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

struct RegistryLocation {
    HKEY root = nullptr;
    std::wstring subkey;     // "SYSTEM\\CurrentControlSet\\..."
    std::wstring valueName;  // empty for the default value
};

// Splits a script-host path; recognises the HKEY_LOCAL_MACHINE/HKLM, HKEY_CURRENT_USER/HKCU and
// HKEY_CLASSES_ROOT/HKCR roots. Ends the scenario on any other root.
RegistryLocation ParseRegistryPath(const std::wstring& path);

// One registry value as read back: absent, or its type and data.
struct RegistryValue {
    bool exists = false;
    DWORD type = REG_NONE;
    DWORD number = 0;   // REG_DWORD
    std::wstring text;  // REG_SZ, REG_EXPAND_SZ

    static RegistryValue Absent() { return {}; }
    static RegistryValue Dword(DWORD value) { return {true, REG_DWORD, value, {}}; }
    static RegistryValue String(std::wstring value) { return {true, REG_SZ, 0, std::move(value)}; }
    bool operator==(const RegistryValue& other) const;
};
std::string Show(const RegistryValue& value);

RegistryValue ReadRegistryValue(const std::wstring& path);

// Every value under `keyPath` (a key, no value name) and its subkeys, with name, type and data bytes, as
// one text: two snapshots are equal exactly when nothing beneath the key changed. Empty for a missing key.
std::string RegistryTreeSnapshot(const std::wstring& keyPath);

// Creates missing keys.
void SetRegistryDword(const std::wstring& path, DWORD value);
void SetRegistryString(const std::wstring& path, const std::wstring& value);
// Fine when the value or its key is already missing.
void DeleteRegistryValue(const std::wstring& path);
// `keyPath` names a key (no value name), with everything beneath it. Fine when already missing.
void DeleteRegistryKey(const std::wstring& keyPath);

// Moves a key (with its subtree) out of the way for as long as it lives and puts it back afterwards,
// e.g. to make a COM class unresolvable for one scenario. A key that does not exist stays missing.
class HiddenRegistryKey {
public:
    explicit HiddenRegistryKey(const std::wstring& keyPath);
    ~HiddenRegistryKey();
    HiddenRegistryKey(const HiddenRegistryKey&) = delete;
    HiddenRegistryKey& operator=(const HiddenRegistryKey&) = delete;

private:
    RegistryLocation key_;
    std::wstring backupSubkey_;  // under HKEY_CURRENT_USER; empty when nothing was hidden
};

// Sets a string value for as long as it lives, then puts back what was there (or nothing), e.g. a Wine
// setting such as the Windows version it reports to programs started meanwhile.
class ScopedRegistryString {
public:
    ScopedRegistryString(std::wstring path, const std::wstring& value);
    ~ScopedRegistryString();
    ScopedRegistryString(const ScopedRegistryString&) = delete;
    ScopedRegistryString& operator=(const ScopedRegistryString&) = delete;

private:
    std::wstring path_;
    RegistryValue previous_;
};

}  // namespace e2e
