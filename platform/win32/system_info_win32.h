// What the program asks of Windows about itself: services, processes and the version of the system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace korvane {

Status ServiceProcessWindows(const std::wstring& service, uint32_t& processId);
Status ServiceStartTypeWindows(const std::wstring& service, uint32_t& startType);
std::wstring ProcessImageNameWindows(uint32_t processId);
WindowsVersion WindowsVersionNow();
// From the firmware's SMBIOS table; empty when there is none.
std::wstring ChassisAssetTagWindows();
std::vector<uint8_t> SystemUuidWindows();

}  // namespace korvane
