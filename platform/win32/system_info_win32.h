// What the program asks of Windows about itself: services, processes and the version of the system.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace korvane {

Status ServiceProcessWindows(const std::wstring& service, uint32_t& processId);
Status ServiceStartTypeWindows(const std::wstring& service, uint32_t& startType);
std::wstring ProcessImageNameWindows(uint32_t processId);
WindowsVersion WindowsVersionNow();

}  // namespace korvane
