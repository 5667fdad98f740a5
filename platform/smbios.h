// Reading the firmware's SMBIOS table (as GetSystemFirmwareTable('RSMB') hands it over), portable so that
// its parsing is tested on any machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

// The asset tag of the first chassis record (SMBIOS type 3); empty when there is none or it has none. `raw`
// is the RawSMBIOSData block: an 8-byte header, then the structures.
std::wstring ChassisAssetTag(const std::vector<uint8_t>& raw);

// The serial number of the first system record (SMBIOS type 1); empty when there is none or it has none.
std::wstring SystemSerialNumber(const std::vector<uint8_t>& raw);

// The 16 bytes of the system UUID of the first system record (SMBIOS type 1), as the firmware stores them;
// empty when there is none (or the record is older than SMBIOS 2.1, which added the UUID).
std::vector<uint8_t> SystemUuid(const std::vector<uint8_t>& raw);

// Whether the system UUID, written as text, begins with "EC2" (AWS's instances), in either of the byte
// orders firmware stores its first field in.
bool SystemUuidBeginsWithEc2(const std::vector<uint8_t>& uuid);

}  // namespace korvane
