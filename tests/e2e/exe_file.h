// What the program's .exe file carries, read from the file itself: its version record, its icon groups
// and the DLLs it imports.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct VersionRecord {
    std::vector<DWORD> translations;  // each LANGID in the low word, code page in the high word
    std::wstring fixedFileVersion;    // "1.0.0.8" from VS_FIXEDFILEINFO
    std::wstring fixedProductVersion;
    std::vector<BYTE> data;  // the whole record, for VerQueryValueW

    // The string `key` of the block `block` (e.g. L"080404b0"), if the record has it.
    std::optional<std::wstring> String(const std::wstring& block, const std::wstring& key) const;
};
// Ends the scenario when the file has no version record.
VersionRecord ReadVersionRecord(const std::wstring& exePath);

struct IconImage {
    // As the group directory lists it.
    int width = 0, height = 0, bitCount = 0;
    // As the RT_ICON image itself says (its BITMAPINFOHEADER; a PNG image leaves these 0).
    int imageWidth = 0, imageHeight = 0, imageBitCount = 0;
    bool png = false;
    bool loads = false;  // CreateIconFromResourceEx accepts the image at its listed size
};
std::string Show(const IconImage& image);

struct IconGroup {
    std::wstring name;  // "#1" for a numeric id
    std::vector<IconImage> images;
};
// The RT_GROUP_ICON resources in the order the system enumerates them (the first is the one Explorer shows).
std::vector<IconGroup> ReadIconGroups(const std::wstring& exePath);

// What the PE headers say about the program's defences and the oldest Windows it runs on.
struct PeHardening {
    WORD dllCharacteristics = 0;  // IMAGE_DLLCHARACTERISTICS_*
    bool hasRelocations = false;  // without them the image cannot move, whatever the flags say
    WORD subsystemMajor = 0, subsystemMinor = 0;
};
PeHardening ReadPeHardening(const std::wstring& exePath);

// The DLL names in the import and delay-import tables, as written there.
std::vector<std::wstring> ImportedDlls(const std::wstring& exePath);

}  // namespace e2e
