// The .exe file itself: version record, icon resource, defences in its headers and imported DLLs.
#include <algorithm>

#include "bench.h"
#include "exe_file.h"
#include "program.h"
#include "ui/app_identity.h"

using namespace e2e;

SCENARIO(exe_version_record) {
    const std::wstring path = ProgramPath();
    const VersionRecord record = ReadVersionRecord(path);
    CHECK_EQ(record.translations, std::vector<DWORD>{MAKELONG(0x0804, 1200)});  // Chinese (PRC), Unicode
    CHECK_EQ(record.fixedFileVersion, L"1.0.0.8");
    CHECK_EQ(record.fixedProductVersion, L"1.0.0.8");

    const std::wstring block = L"080404b0";
    const struct {
        const wchar_t* key;
        std::wstring value;
    } kStrings[] = {
        {L"FileVersion", L"1.00.0008"},
        {L"ProductVersion", L"1.00.0008"},
        {L"FileDescription", L"用于远程桌面端口修改。"},
        {L"ProductName", L"Korvane远程端口修改工具"},
        {L"InternalName", L"Korvane远程端口修改工具V1.0"},
        {L"OriginalFilename", L"Korvane远程端口修改工具V1.0.exe"},
        {L"CompanyName", L"KorvaneIT技术网"},
        {L"Comments", korvane::kPublisherUrl},
    };
    for (const auto& expected : kStrings) {
        Context context(Utf8(expected.key));
        CHECK_EQ(record.String(block, expected.key), std::optional<std::wstring>(expected.value));
    }
    // The file is shipped under the name its record gives.
    CHECK_EQ(path.substr(path.find_last_of(L'\\') + 1), L"Korvane远程端口修改工具V1.0.exe");
}

SCENARIO(exe_icon_group) {
    const std::vector<IconGroup> groups = ReadIconGroups(ProgramPath());
    REQUIRE_MSG(!groups.empty(), "the .exe has no icon resource");
    std::vector<IconImage> images = groups.front().images;
    REQUIRE_EQ(images.size(), size_t{4});
    std::sort(images.begin(), images.end(), [](const IconImage& a, const IconImage& b) {
        return std::make_pair(a.width, a.bitCount) < std::make_pair(b.width, b.bitCount);
    });
    const int kExpected[][2] = {{32, 8}, {32, 32}, {48, 8}, {48, 32}};  // size, bits per pixel
    for (size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        Context context("icon image " + Show(image));
        CHECK_EQ(image.width, kExpected[i][0]);
        CHECK_EQ(image.height, kExpected[i][0]);
        CHECK_EQ(image.bitCount, kExpected[i][1]);
        // The image itself must be what the directory says it is, and load.
        CHECK(!image.png);
        CHECK_EQ(image.imageWidth, image.width);
        CHECK_EQ(image.imageHeight, image.height);
        CHECK_EQ(image.imageBitCount, image.bitCount);
        CHECK(image.loads);
    }
}

SCENARIO(exe_imports_only_system_dlls) {
    const std::vector<std::wstring> dlls = ImportedDlls(ProgramPath());
    REQUIRE_MSG(!dlls.empty(), "the .exe imports nothing, which no Windows program does");
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    for (const std::wstring& dll : dlls) {
        Context context(Utf8(dll));
        std::wstring lower = dll;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::towlower);
        for (const wchar_t* runtime : {L"libstdc++", L"libgcc", L"libwinpthread"}) {
            CHECK_MSG(lower.rfind(runtime, 0) != 0, "a MinGW runtime DLL: the program must link it statically");
        }
        const std::wstring inSystem = std::wstring(system) + L"\\" + dll;
        CHECK_MSG(GetFileAttributesW(inSystem.c_str()) != INVALID_FILE_ATTRIBUTES, "not a DLL of the system folder");
    }
}

SCENARIO(exe_headers_ask_for_aslr_dep_and_windows_7) {
    const PeHardening pe = ReadPeHardening(ProgramPath());
    CHECK_MSG(pe.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, "no ASLR (dynamic base)");
    CHECK_MSG(pe.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA, "no high-entropy ASLR");
    CHECK_MSG(pe.hasRelocations, "no relocations: the image cannot be moved by ASLR");
    CHECK_MSG(pe.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT, "no DEP (NX compatible)");
    CHECK_EQ(pe.subsystemMajor, WORD{6});
    CHECK_EQ(pe.subsystemMinor, WORD{1});
}
