// What keeps the elevated program from being hijacked: a DLL planted in its own folder is never loaded.
#include "bench.h"
#include "driver_listener.h"
#include "probe.h"
#include "program.h"
#include "registry.h"
#include "ui/control_ids.h"

using namespace e2e;

SCENARIO(planted_dll_in_program_folder_is_not_loaded_by_name) {
    // Any DLL will do as the planted one; the probe is at hand and does nothing when loaded.
    const std::wstring planted = DriverFolder() + L"korvane_planted.dll";
    REQUIRE_MSG(CopyFileW((DriverFolder() + L"e2e_probe.dll").c_str(), planted.c_str(), FALSE),
                "cannot plant a DLL beside the program");
    Program program;
    CHECK_MSG(!ProgramLoadsLibrary(program, L"korvane_planted.dll"),
              "the program loaded a DLL from its own folder by its bare name");
    // The control: the same DLL is there and loadable, given its full path.
    CHECK_MSG(ProgramLoadsLibrary(program, planted), "the program cannot load the planted DLL by its full path");
}

// The program imports only DLLs that Windows takes from the system folder; iphlpapi.dll, which the port
// check needs, it loads from System32 itself. A copy planted beside it never runs, with Wine told to look
// for it the way Windows does (the program's folder first), while the port check still finds the listener.
SCENARIO(planted_iphlpapi_beside_the_program_never_runs) {
    const std::wstring planted = DriverFolder() + L"iphlpapi.dll";
    const wchar_t* const mark = L"C:\\planted-dll-ran.txt";
    DeleteFileW(mark);
    REQUIRE_MSG(CopyFileW((DriverFolder() + L"planted_iphlpapi.dll").c_str(), planted.c_str(), FALSE),
                "cannot plant iphlpapi.dll beside the program");
    struct Unplant {
        std::wstring path;
        ~Unplant() { DeleteFileW(path.c_str()); }
    } unplant{planted};
    const ScopedRegistryString nativeFirst(L"HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides\\iphlpapi",
                                           L"native,builtin");
    const DriverListener listener(3390);

    Program program;
    SendMessageW(program.Control(korvane::kIdText2), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"3390"));
    program.Click(korvane::kIdCommand1);
    const auto warning = program.WaitForMessageBox();
    REQUIRE_MSG(warning.has_value(), "修改 brought no message box");
    CHECK_CONTAINS(warning->text, L"新端口 3390 已被另一个程序占用");
    program.Answer(*warning, IDNO);
    CHECK_MSG(GetFileAttributesW(mark) == INVALID_FILE_ATTRIBUTES, "the planted iphlpapi.dll ran in the program");
}
