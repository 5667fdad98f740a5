// What the machine itself says about whether Remote Desktop can be reached on a new port after the restart,
// beyond the port and the firewall: whether Remote Desktop is turned on, whether the edition can accept
// connections at all, whether a cloud's security group filters traffic before it reaches the machine, and
// whether the port lies where Windows hands out ports to outgoing connections. Plain decisions on values the
// caller reads; a value that cannot be read is passed as none, and none never makes a warning.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace korvane {

enum class RemoteDesktopSwitch { On, OffHere, OffByPolicy };

// Group Policy's value decides when present (1 denies, 0 allows); otherwise the machine's own (1 denies).
RemoteDesktopSwitch RemoteDesktopSwitchOf(std::optional<uint32_t> local, std::optional<uint32_t> policy);

// Home editions, which connect to other computers but accept no Remote Desktop connection: every EditionID
// that begins with "Core" (Windows 8 to 11 Home, 家庭中文版 CoreCountrySpecific, CoreSingleLanguage, CoreN) and
// Windows 7's HomeBasic, HomePremium and Starter.
bool IsHomeEdition(const std::wstring& editionId);

// The cloud whose virtual machine this is, by what its firmware reports, in the words of the question
// ("阿里云"); empty for any other machine. Azure and Huawei Cloud are told apart from plain Hyper-V and
// OpenStack machines by the chassis asset tag their firmware carries, AWS's older instances (whose
// manufacturer is plain "Xen") by the system UUID, Google's by its product or serial number (SMBIOS).
std::wstring CloudOf(const std::wstring& manufacturer, const std::wstring& product, const std::wstring& assetTag,
                     const std::vector<uint8_t>& systemUuid, const std::wstring& serialNumber);

// Where in that cloud's console the administrator lets TCP traffic in to the machine, in the cloud's own
// words ("阿里云控制台的安全组入方向规则"); empty for a cloud not known.
std::wstring CloudInboundRulesPlace(const std::wstring& cloud);

// Where Windows hands out ports to outgoing connections unless told otherwise (since Vista).
constexpr DynamicPortRange kDefaultDynamicRange = {49152, 16384};

// Whether `port` lies in `range`.
bool InDynamicRange(uint16_t port, const DynamicPortRange& range);

}  // namespace korvane
