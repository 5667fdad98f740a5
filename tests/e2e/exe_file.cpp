#include "exe_file.h"

#include <cstdio>
#include <cstring>

#include "bench.h"

namespace e2e {

namespace {

#pragma pack(push, 2)
struct GroupIconEntry {  // GRPICONDIRENTRY, as stored in an RT_GROUP_ICON resource
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInResource;
    WORD id;
};
struct GroupIconHeader {
    WORD reserved, type, count;
};
#pragma pack(pop)

std::vector<BYTE> ReadWholeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) FAIL_SCENARIO("cannot open " + Utf8(path));
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    std::vector<BYTE> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    const bool ok =
        ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
    CloseHandle(file);
    if (!ok) FAIL_SCENARIO("cannot read " + Utf8(path));
    return bytes;
}

std::wstring VersionText(const VS_FIXEDFILEINFO& info, bool product) {
    const DWORD high = product ? info.dwProductVersionMS : info.dwFileVersionMS;
    const DWORD low = product ? info.dwProductVersionLS : info.dwFileVersionLS;
    return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"." + std::to_wstring(HIWORD(low)) +
           L"." + std::to_wstring(LOWORD(low));
}

// A mapped PE file: headers checked once, RVAs turned into file offsets.
class PeFile {
public:
    explicit PeFile(std::vector<BYTE> bytes) : bytes_(std::move(bytes)) {
        const auto* dos = At<IMAGE_DOS_HEADER>(0);
        if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) FAIL_SCENARIO("not a PE file (no MZ header)");
        nt_ = At<IMAGE_NT_HEADERS64>(static_cast<size_t>(dos->e_lfanew));
        if (!nt_ || nt_->Signature != IMAGE_NT_SIGNATURE ||
            nt_->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
            FAIL_SCENARIO("not a 64-bit PE file");
        }
        sections_ = IMAGE_FIRST_SECTION(nt_);
    }

    const IMAGE_DATA_DIRECTORY& Directory(int index) const { return nt_->OptionalHeader.DataDirectory[index]; }
    const IMAGE_OPTIONAL_HEADER64& Optional() const { return nt_->OptionalHeader; }

    template <typename T>
    const T* AtRva(DWORD rva) const {
        for (WORD i = 0; i < nt_->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& section = sections_[i];
            if (rva >= section.VirtualAddress && rva < section.VirtualAddress + section.SizeOfRawData) {
                return At<T>(section.PointerToRawData + (rva - section.VirtualAddress));
            }
        }
        return nullptr;
    }

    std::wstring NameAtRva(DWORD rva) const {
        const char* name = AtRva<char>(rva);
        if (!name) FAIL_SCENARIO("an import names a DLL outside the file");
        const size_t limit = bytes_.size() - static_cast<size_t>(reinterpret_cast<const BYTE*>(name) - bytes_.data());
        return Wide(std::string(name, strnlen(name, limit)));
    }

private:
    template <typename T>
    const T* At(size_t offset) const {
        if (offset + sizeof(T) > bytes_.size()) return nullptr;
        return reinterpret_cast<const T*>(bytes_.data() + offset);
    }

    std::vector<BYTE> bytes_;
    const IMAGE_NT_HEADERS64* nt_ = nullptr;
    const IMAGE_SECTION_HEADER* sections_ = nullptr;
};

IconImage ReadIconImage(HMODULE module, const GroupIconEntry& entry) {
    IconImage image;
    image.width = entry.width ? entry.width : 256;
    image.height = entry.height ? entry.height : 256;
    image.bitCount = entry.bitCount;
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(entry.id), RT_ICON);
    if (!found) return image;
    const DWORD size = SizeofResource(module, found);
    auto* data = static_cast<BYTE*>(LockResource(LoadResource(module, found)));
    if (!data || size < sizeof(BITMAPINFOHEADER)) return image;
    static const BYTE kPngSignature[] = {0x89, 'P', 'N', 'G'};
    if (std::memcmp(data, kPngSignature, sizeof kPngSignature) == 0) {
        image.png = true;
    } else {
        const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(data);
        image.imageWidth = header->biWidth;
        image.imageHeight = header->biHeight / 2;  // the colour and mask bitmaps stacked
        image.imageBitCount = header->biBitCount;
    }
    HICON icon = CreateIconFromResourceEx(data, size, TRUE, 0x00030000, image.width, image.height, 0);
    if (icon) {
        image.loads = true;
        DestroyIcon(icon);
    }
    return image;
}

}  // namespace

std::optional<std::wstring> VersionRecord::String(const std::wstring& block, const std::wstring& key) const {
    const std::wstring query = L"\\StringFileInfo\\" + block + L"\\" + key;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), query.c_str(), &value, &length) || !value) return std::nullopt;
    std::wstring text(static_cast<const wchar_t*>(value), length);
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

VersionRecord ReadVersionRecord(const std::wstring& exePath) {
    VersionRecord record;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exePath.c_str(), &ignored);
    if (!size) FAIL_SCENARIO("the .exe has no version record (error " + std::to_string(GetLastError()) + ")");
    record.data.resize(size);
    if (!GetFileVersionInfoW(exePath.c_str(), 0, size, record.data.data())) {
        FAIL_SCENARIO("cannot read the version record (error " + std::to_string(GetLastError()) + ")");
    }
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(record.data.data(), L"\\VarFileInfo\\Translation", &value, &length)) {
        const auto* pairs = static_cast<const DWORD*>(value);
        record.translations.assign(pairs, pairs + length / sizeof(DWORD));
    }
    if (VerQueryValueW(record.data.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);
        record.fixedFileVersion = VersionText(fixed, false);
        record.fixedProductVersion = VersionText(fixed, true);
    }
    return record;
}

std::string Show(const IconImage& image) {
    char text[160];
    std::snprintf(text, sizeof text, "%dx%d %d bpp (image: %s%dx%d %d bpp%s)", image.width, image.height,
                  image.bitCount, image.png ? "PNG " : "", image.imageWidth, image.imageHeight, image.imageBitCount,
                  image.loads ? "" : ", does not load");
    return text;
}

std::vector<IconGroup> ReadIconGroups(const std::wstring& exePath) {
    HMODULE module = LoadLibraryExW(exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) FAIL_SCENARIO("cannot open the .exe's resources (error " + std::to_string(GetLastError()) + ")");
    struct Free {
        HMODULE module;
        ~Free() { FreeLibrary(module); }
    } free{module};

    std::vector<std::wstring> names;
    EnumResourceNamesW(
        module, RT_GROUP_ICON,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context) -> BOOL {
            auto& list = *reinterpret_cast<std::vector<std::wstring>*>(context);
            list.push_back(IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name))
                                                : std::wstring(name));
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&names));

    std::vector<IconGroup> groups;
    for (const std::wstring& name : names) {
        IconGroup group{name, {}};
        HRSRC found = FindResourceW(module, name.c_str(), RT_GROUP_ICON);
        const auto* header =
            found ? static_cast<const GroupIconHeader*>(LockResource(LoadResource(module, found))) : nullptr;
        if (header && SizeofResource(module, found) >= sizeof *header + header->count * sizeof(GroupIconEntry)) {
            const auto* entries = reinterpret_cast<const GroupIconEntry*>(header + 1);
            for (WORD i = 0; i < header->count; ++i) group.images.push_back(ReadIconImage(module, entries[i]));
        }
        groups.push_back(group);
    }
    return groups;
}

PeHardening ReadPeHardening(const std::wstring& exePath) {
    const PeFile pe(ReadWholeFile(exePath));
    const IMAGE_OPTIONAL_HEADER64& header = pe.Optional();
    return {header.DllCharacteristics, pe.Directory(IMAGE_DIRECTORY_ENTRY_BASERELOC).Size != 0,
            header.MajorSubsystemVersion, header.MinorSubsystemVersion};
}

std::vector<std::wstring> ImportedDlls(const std::wstring& exePath) {
    const PeFile pe(ReadWholeFile(exePath));
    std::vector<std::wstring> dlls;
    if (DWORD rva = pe.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress) {
        for (const auto* entry = pe.AtRva<IMAGE_IMPORT_DESCRIPTOR>(rva); entry && entry->Name; ++entry) {
            dlls.push_back(pe.NameAtRva(entry->Name));
        }
    }
    if (DWORD rva = pe.Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT).VirtualAddress) {
        for (const auto* entry = pe.AtRva<IMAGE_DELAYLOAD_DESCRIPTOR>(rva); entry && entry->DllNameRVA; ++entry) {
            dlls.push_back(pe.NameAtRva(entry->DllNameRVA));
        }
    }
    return dlls;
}

}  // namespace e2e
