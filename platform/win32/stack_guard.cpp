#include "platform/win32/stack_guard.h"

#include <windows.h>

#include <cstdint>

// What the code compiled with the stack protector and with _FORTIFY_SOURCE refers to.
extern "C" {

// Never zero, even before it is set: a zero canary would not stop a string copy.
uintptr_t __stack_chk_guard = 0x2B992DDFA232ull;

// A smashed stack or an overflowing checked copy: the process ends at once, as Windows ends a program whose
// /GS cookie was overwritten, with nothing more run that an attacker may have prepared.
void __stack_chk_fail() {
    TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
    __builtin_unreachable();
}

void __chk_fail() {
    __stack_chk_fail();
    __builtin_unreachable();
}

}  // extern "C"

namespace korvane {

// Not guarded itself: it changes the value a guarded function would check on its way out.
__attribute__((no_stack_protector)) void InitializeStackGuard() {
    static LARGE_INTEGER counter;
    static FILETIME now;
    GetSystemTimeAsFileTime(&now);
    QueryPerformanceCounter(&counter);
    uint64_t value = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    value ^= static_cast<uint64_t>(GetCurrentProcessId()) << 32;
    value ^= GetCurrentThreadId();
    value ^= static_cast<uint64_t>(counter.QuadPart) << 32 ^ static_cast<uint64_t>(counter.QuadPart);
    value ^= reinterpret_cast<uintptr_t>(__builtin_frame_address(0));  // where the stack lies this time
    value ^= GetTickCount64();
    // The top 16 bits clear, as in Microsoft's cookie.
    value &= 0x0000FFFFFFFFFFFFull;
    __stack_chk_guard = value != 0 ? static_cast<uintptr_t>(value) : __stack_chk_guard;
}

}  // namespace korvane
