#include "platform/win32/dll_search.h"

#include <windows.h>

#include "platform/win32/system_library.h"

namespace korvane {

void RestrictDllSearchToSystemFolder() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    using SetProcessMitigationPolicyFunction = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);

    // Windows 7 without update KB2533623 lacks SetDefaultDllDirectories, and only Windows 8 and later have
    // SetProcessMitigationPolicy.
    const auto setDefaultDllDirectories =
        SystemFunction<SetDefaultDllDirectoriesFunction>(L"kernel32.dll", "SetDefaultDllDirectories");
    if (!setDefaultDllDirectories || !setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        // Without it the program's own folder stays first in the search of LoadLibrary; at least the current
        // folder is taken out of it. (SetSearchPathMode would not help here: it sets how SearchPath looks
        // for files, never how a DLL is found.) What the program loads itself it names by its full System32
        // path (system_library.cpp).
        SetDllDirectoryW(L"");
    }

    // Windows 10 and later: images in the system folder are preferred even to ones named by the loader,
    // and none is loaded from a network share. Older systems reject this policy, which leaves the above.
    const auto setMitigationPolicy =
        SystemFunction<SetProcessMitigationPolicyFunction>(L"kernel32.dll", "SetProcessMitigationPolicy");
    if (setMitigationPolicy) {
        PROCESS_MITIGATION_IMAGE_LOAD_POLICY policy = {};
        policy.NoRemoteImages = 1;
        policy.PreferSystem32Images = 1;
        setMitigationPolicy(ProcessImageLoadPolicy, &policy, sizeof policy);
    }
}

}  // namespace korvane
