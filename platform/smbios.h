// Reading the firmware's SMBIOS table (as GetSystemFirmwareTable('RSMB') hands it over), portable so that
// its parsing is tested on any machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

// The asset tag of the first chassis record (SMBIOS type 3); empty when there is none or it has none. `raw`
// is the RawSMBIOSData block: an 8-byte header, then the structures.
std::string ChassisAssetTag(const std::vector<uint8_t>& raw);

}  // namespace korvane
