// Every string value of a registry key, for what the script shell object cannot do: list a key's values
// (the firewall's rules are one value each, named by the rule's id).
#include <windows.h>

#include <vector>

#include "platform/win32/dispatch.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/scoped.h"

namespace korvane {

namespace {

constexpr wchar_t kLocalMachine[] = L"HKEY_LOCAL_MACHINE\\";

}  // namespace

Status Win32Platform::RegistryStrings(const std::wstring& key, std::vector<RegString>& values) {
    values.clear();
    const std::size_t rootLength = std::size(kLocalMachine) - 1;
    if (key.compare(0, rootLength, kLocalMachine) != 0) return Win32Failure(ERROR_INVALID_PARAMETER);
    RegistryKey opened;
    // The 64-bit view, where Windows keeps the firewall's settings, whatever this program is built as.
    LSTATUS result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str() + rootLength, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                                   opened.Put());
    if (result == ERROR_FILE_NOT_FOUND) return Status::Ok();
    if (result != ERROR_SUCCESS) return Win32Failure(static_cast<DWORD>(result));
    DWORD longestName = 0, longestData = 0;
    result = RegQueryInfoKeyW(opened.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                              &longestName, &longestData, nullptr, nullptr);
    if (result != ERROR_SUCCESS) return Win32Failure(static_cast<DWORD>(result));
    std::vector<wchar_t> name(longestName + 1);
    std::vector<BYTE> data(longestData + sizeof(wchar_t));
    for (DWORD index = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        result = RegEnumValueW(opened.Get(), index, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) return Status::Ok();
        if (result == ERROR_MORE_DATA) {
            // A value written since the key's sizes were read: the same index again with room for it.
            name.resize(name.size() * 2 + 256);
            data.resize(data.size() * 2 + 4096);
            continue;
        }
        if (result != ERROR_SUCCESS) return Win32Failure(static_cast<DWORD>(result));
        ++index;
        if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
        // A stored string need not end in a null character.
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), dataSize / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        values.push_back({std::wstring(name.data(), nameLength), std::move(text)});
    }
}

}  // namespace korvane
