// Late-bound calls on an automation object, the one way the program calls IDispatch::Invoke, and the failures
// of calls to Windows, each with the system's own text.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <string>

#include "platform/platform.h"

namespace korvane {

// Calls method `name` of `object` with `arguments` given in their natural order (the helper reverses
// them for Invoke). On success `result` (if given) receives the return value. On failure the Status
// carries the real error code (the scode of an automation exception) and its text.
Status InvokeMethod(IDispatch* object, const wchar_t* name, std::initializer_list<const VARIANT*> arguments,
                    VARIANT* result = nullptr);

// The system's own text for an HRESULT or Win32 error code, without the trailing line break;
// empty when the system has none.
std::wstring SystemErrorText(HRESULT code);

// Builds a failure from an HRESULT, with the system's text (or `fallback` when the system has none).
Status FailureFromHresult(HRESULT code, const std::wstring& fallback = std::wstring());

// Success, or the failure of `code`.
Status StatusFromHresult(HRESULT code);

// The failure of a Win32 or Winsock error code; the one GetLastError tells, right after a Win32 call has failed.
Status Win32Failure(DWORD error);
Status LastErrorStatus();

}  // namespace korvane
