#pragma once

#include <windows.h>

#include <string>

namespace korvane {

// The system's own text for an HRESULT or Win32 error code, without the trailing line break;
// empty when the system has none.
std::wstring SystemErrorText(HRESULT code);

}  // namespace korvane
