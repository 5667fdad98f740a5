#include "platform/smbios.h"

#include <algorithm>

namespace korvane {

namespace {

constexpr std::size_t kRawHeader = 8;  // calling method, major, minor, DMI revision, length (4 bytes)
constexpr uint8_t kChassis = 3;
constexpr uint8_t kEndOfTable = 127;
constexpr std::size_t kAssetTagOffset = 0x08;

}  // namespace

std::string ChassisAssetTag(const std::vector<uint8_t>& raw) {
    if (raw.size() < kRawHeader) return {};
    const std::size_t length = raw[4] | raw[5] << 8 | raw[6] << 16 | static_cast<std::size_t>(raw[7]) << 24;
    const std::size_t end = std::min(raw.size(), kRawHeader + length);
    // Each structure: a formatted part (type, its own length, handle ...), then its strings, each ended by a
    // null, the set ended by a second null.
    for (std::size_t at = kRawHeader; at + 4 <= end;) {
        const uint8_t type = raw[at], formatted = raw[at + 1];
        if (formatted < 4 || at + formatted > end) return {};
        std::size_t strings = at + formatted, next = strings;
        while (next + 1 < end && !(raw[next] == 0 && raw[next + 1] == 0)) ++next;
        if (type == kChassis) {
            if (formatted <= kAssetTagOffset || raw[at + kAssetTagOffset] == 0) return {};
            // The string's number, counted from 1 among the strings that follow.
            std::size_t wanted = raw[at + kAssetTagOffset], start = strings;
            for (std::size_t i = strings; i < next + 1 && wanted > 0; ++i) {
                if (raw[i] != 0) continue;
                if (--wanted == 0) return std::string(raw.begin() + start, raw.begin() + i);
                start = i + 1;
            }
            return {};
        }
        if (type == kEndOfTable) return {};
        at = next + 2;
    }
    return {};
}

}  // namespace korvane
