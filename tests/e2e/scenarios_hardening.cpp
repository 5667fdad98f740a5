// What keeps the elevated program from being hijacked: a DLL planted in its own folder is not found by name.
#include "bench.h"
#include "probe.h"
#include "program.h"

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
