#include "platform/smbios.h"

#include <algorithm>

namespace korvane {

namespace {

constexpr std::size_t kRawHeader = 8;  // calling method, major, minor, DMI revision, length (4 bytes)
constexpr uint8_t kSystem = 1;
constexpr uint8_t kChassis = 3;
constexpr uint8_t kEndOfTable = 127;
constexpr std::size_t kAssetTagOffset = 0x08;
constexpr std::size_t kSerialNumberOffset = 0x07;
constexpr std::size_t kUuidOffset = 0x08;  // 16 bytes, since SMBIOS 2.1
constexpr std::size_t kUuidSize = 16;

// The first structure of `type`: where its formatted part begins, how long that part is, and where its
// strings begin and end (the end is the first of the two nulls that close them).
struct Structure {
    std::size_t at = 0, formatted = 0, strings = 0, stringsEnd = 0;
};

bool FindStructure(const std::vector<uint8_t>& raw, uint8_t wanted, Structure& found) {
    if (raw.size() < kRawHeader) return false;
    const std::size_t length = raw[4] | raw[5] << 8 | raw[6] << 16 | static_cast<std::size_t>(raw[7]) << 24;
    const std::size_t end = std::min(raw.size(), kRawHeader + length);
    // Each structure: a formatted part (type, its own length, handle ...), then its strings, each ended by a
    // null, the set ended by a second null.
    for (std::size_t at = kRawHeader; at + 4 <= end;) {
        const uint8_t type = raw[at], formatted = raw[at + 1];
        if (formatted < 4 || at + formatted > end) return false;
        std::size_t strings = at + formatted, next = strings;
        while (next + 1 < end && !(raw[next] == 0 && raw[next + 1] == 0)) ++next;
        if (type == wanted) {
            found = {at, formatted, strings, next};
            return true;
        }
        if (type == kEndOfTable) return false;
        at = next + 2;
    }
    return false;
}

// The string a structure's byte at `offset` names, counted from 1 among the strings that follow it; empty for none.
std::wstring StringAt(const std::vector<uint8_t>& raw, const Structure& structure, std::size_t offset) {
    if (structure.formatted <= offset || raw[structure.at + offset] == 0) return {};
    std::size_t wanted = raw[structure.at + offset], start = structure.strings;
    for (std::size_t i = structure.strings; i < structure.stringsEnd + 1 && wanted > 0; ++i) {
        if (raw[i] != 0) continue;
        if (--wanted == 0) return std::wstring(raw.begin() + start, raw.begin() + i);  // ASCII
        start = i + 1;
    }
    return {};
}

}  // namespace

std::wstring ChassisAssetTag(const std::vector<uint8_t>& raw) {
    Structure chassis;
    return FindStructure(raw, kChassis, chassis) ? StringAt(raw, chassis, kAssetTagOffset) : std::wstring();
}

std::wstring SystemSerialNumber(const std::vector<uint8_t>& raw) {
    Structure system;
    return FindStructure(raw, kSystem, system) ? StringAt(raw, system, kSerialNumberOffset) : std::wstring();
}

std::vector<uint8_t> SystemUuid(const std::vector<uint8_t>& raw) {
    Structure system;
    if (!FindStructure(raw, kSystem, system) || system.formatted < kUuidOffset + kUuidSize) return {};
    const auto first = raw.begin() + static_cast<std::ptrdiff_t>(system.at + kUuidOffset);
    return std::vector<uint8_t>(first, first + kUuidSize);
}

bool SystemUuidBeginsWithEc2(const std::vector<uint8_t>& uuid) {
    if (uuid.size() != kUuidSize) return false;
    // Written as text, a UUID begins with its first field, four bytes. Firmware of SMBIOS 2.6 and later
    // stores that field little-endian; older firmware (AWS's Xen instances: SMBIOS 2.4) stores it in the
    // order it is written. Either way "EC2" is the byte 0xEC and the high half of the byte after it.
    const bool asWritten = uuid[0] == 0xEC && (uuid[1] & 0xF0) == 0x20;
    const bool littleEndian = uuid[3] == 0xEC && (uuid[2] & 0xF0) == 0x20;
    return asWritten || littleEndian;
}

}  // namespace korvane
