#include "port/firewall_rule_grammar.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/firewall_rule_writes.h"
#include "platform/number_text.h"

namespace korvane {

namespace {

wchar_t AsciiLower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// Whether `text` is `token` as the grammar compares its words: without regard to the case of ASCII letters.
bool SameToken(const std::wstring& text, const wchar_t* token) {
    std::size_t i = 0;
    for (; token[i] != 0; ++i) {
        if (i >= text.size() || AsciiLower(text[i]) != AsciiLower(token[i])) return false;
    }
    return i == text.size();
}

bool StartsWithToken(const std::wstring& text, const std::wstring& prefix) {
    return text.size() > prefix.size() && SameToken(text.substr(0, prefix.size()), prefix.c_str());
}

// 1 to `maxDigits` ASCII digits whose value is at most `maxValue`.
bool ParseDecimal(const std::wstring& text, std::size_t maxDigits, uint32_t maxValue, uint32_t& value) {
    if (text.empty() || text.size() > maxDigits) return false;
    value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + static_cast<uint32_t>(c - L'0');
    }
    return value <= maxValue;
}

// A word of the grammar and how the firewall's objects write it.
struct Keyword {
    const wchar_t* stored;
    const wchar_t* written;
};

template <std::size_t N>
const wchar_t* Lookup(const std::wstring& text, const Keyword (&keywords)[N]) {
    for (const Keyword& keyword : keywords) {
        if (SameToken(text, keyword.stored)) return keyword.written;
    }
    return nullptr;
}

// Ports the system assigns itself. IPTLSIn and IPHTTPSIn are one keyword, which INetFwRule calls IPHTTPS.
constexpr Keyword kLocalPortKeywords[] = {
    {L"RPC", L"RPC"},           {L"RPC-EPMap", L"RPC-EPMap"}, {L"Teredo", L"Teredo"},
    {L"IPTLSIn", L"IPHTTPS"},   {L"IPHTTPSIn", L"IPHTTPS"},   {L"DHCP", L"DHCP"},
    {L"Ply2Disc", L"Ply2Disc"}, {L"mDNS", L"mDNS"},           {L"TcpCDPSvc", L"TcpCDPSvc"},
};
constexpr Keyword kRemotePortKeywords[] = {
    {L"IPTLSOut", L"IPHTTPS"}, {L"IPHTTPSOut", L"IPHTTPS"}, {L"CortanaOut", L"CortanaOut"}};
// INetFwRule documents the first five, "Defaultgateway" so spelt; the others keep the grammar's words.
constexpr Keyword kAddressKeywords[] = {
    {L"LocalSubnet", L"LocalSubnet"},
    {L"DNS", L"DNS"},
    {L"DHCP", L"DHCP"},
    {L"WINS", L"WINS"},
    {L"DefaultGateway", L"Defaultgateway"},
    {L"Intranet", L"Intranet"},
    {L"Internet", L"Internet"},
    {L"RmtIntranet", L"RmtIntranet"},
    {L"Ply2Renders", L"Ply2Renders"},
    {L"CaptivePortal", L"CaptivePortal"},
};
constexpr Keyword kInterfaceTypes[] = {
    {L"Lan", L"Lan"}, {L"Wireless", L"Wireless"}, {L"RemoteAccess", L"RemoteAccess"}};

enum class Field {
    Action,
    Direction,
    Profile,
    Protocol,
    LocalPort,
    RemotePort,
    Security,
    Security2_9,
    Security2,
    Interface,
    InterfaceType,
    Program,
    Service,
    LocalAddress,
    RemoteAddress,
    Name,
    Description,
    Group,
    Edge,
    Defer,
    Active,
    Icmp,
    RemoteMachines,
    RemoteUsers,
    LocalUsers,
    LocalOwner,
    Package,
    Platform,
    Platform2,
    TrustTuple,
    PackageFamily
};

struct FieldName {
    const wchar_t* name;
    Field field;
    bool once;    // may appear at most once in a rule
    bool prefix;  // names every field that begins so
};

constexpr FieldName kFields[] = {
    {L"Action", Field::Action, true, false},
    {L"Dir", Field::Direction, true, false},
    {L"Profile", Field::Profile, false, false},
    {L"Protocol", Field::Protocol, true, false},
    {L"LPort", Field::LocalPort, false, false},
    {L"RPort", Field::RemotePort, false, false},
    // Later versions add their port keywords in fields of their own: LPort2_10, LPort2_20, RPort2_10 ...
    {L"LPort2_", Field::LocalPort, false, true},
    {L"RPort2_", Field::RemotePort, false, true},
    {L"Security", Field::Security, true, false},
    {L"Security2_9", Field::Security2_9, true, false},
    {L"Security2", Field::Security2, true, false},
    {L"IF", Field::Interface, false, false},
    {L"IFType", Field::InterfaceType, false, false},
    {L"App", Field::Program, true, false},
    {L"Svc", Field::Service, true, false},
    {L"LA4", Field::LocalAddress, false, false},
    {L"LA6", Field::LocalAddress, false, false},
    {L"RA4", Field::RemoteAddress, false, false},
    {L"RA6", Field::RemoteAddress, false, false},
    {L"RA42", Field::RemoteAddress, false, false},
    {L"RA62", Field::RemoteAddress, false, false},
    {L"Name", Field::Name, true, false},
    {L"Desc", Field::Description, true, false},
    {L"EmbedCtxt", Field::Group, true, false},
    {L"Edge", Field::Edge, true, false},
    {L"Defer", Field::Defer, true, false},
    {L"Active", Field::Active, true, false},
    {L"ICMP4", Field::Icmp, false, false},
    {L"ICMP6", Field::Icmp, false, false},
    {L"RMAuth", Field::RemoteMachines, true, false},
    {L"RUAuth", Field::RemoteUsers, true, false},
    {L"LUAuth", Field::LocalUsers, true, false},
    {L"LUOwn", Field::LocalOwner, true, false},
    {L"AppPkgId", Field::Package, true, false},
    {L"Platform", Field::Platform, false, false},
    {L"Platform2", Field::Platform2, false, false},
    // Trust tuple keywords: TTK, then TTK2_22, TTK2_27 ... as versions add them.
    {L"TTK", Field::TrustTuple, false, false},
    {L"TTK2_", Field::TrustTuple, false, true},
    {L"PFN", Field::PackageFamily, true, false},
};
constexpr std::size_t kFieldCount = sizeof(kFields) / sizeof(kFields[0]);

// What a rule's fields have said so far.
struct Reading {
    StoredFirewallRule stored;
    bool seen[kFieldCount] = {};
    std::vector<std::wstring> localPorts, remotePorts, localAddresses, remoteAddresses, icmp, interfaceTypes;
    int profiles = 0;
    bool edge = false;
    int defer = 0;
    // The NET_FW_AUTHENTICATE_TYPE of Security, Security2_9 and Security2; 0 where absent.
    int security[3] = {};
};

void AddOnce(std::vector<std::wstring>& list, const std::wstring& item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

std::wstring Joined(const std::vector<std::wstring>& list, const std::wstring& none) {
    if (list.empty()) return none;
    std::wstring text = list.front();
    for (std::size_t i = 1; i < list.size(); ++i) text += L"," + list[i];
    return text;
}

// A port, a range "low-high" or one of `keywords`, as INetFwRule writes it.
template <std::size_t N>
bool ReadPorts(const std::wstring& value, const Keyword (&keywords)[N], std::vector<std::wstring>& ports) {
    if (const wchar_t* keyword = Lookup(value, keywords)) {
        AddOnce(ports, keyword);
        return true;
    }
    uint32_t low = 0, high = 0;
    const std::size_t dash = value.find(L'-');
    if (dash == std::wstring::npos) {
        if (!ParseDecimal(value, 5, 65535, low)) return false;
        AddOnce(ports, DecimalText(low));
        return true;
    }
    if (!ParseDecimal(value.substr(0, dash), 5, 65535, low) || !ParseDecimal(value.substr(dash + 1), 5, 65535, high) ||
        low > high) {
        return false;
    }
    AddOnce(ports, DecimalText(low) + L"-" + DecimalText(high));
    return true;
}

// An address, range or subnet of IPv4 or IPv6 (kept as written), or a keyword.
bool ReadAddress(const std::wstring& value, std::vector<std::wstring>& addresses) {
    if (const wchar_t* keyword = Lookup(value, kAddressKeywords)) {
        AddOnce(addresses, keyword);
        return true;
    }
    if (value.empty()) return false;
    for (wchar_t c : value) {
        const bool hexDigit = (c >= L'0' && c <= L'9') || (AsciiLower(c) >= L'a' && AsciiLower(c) <= L'f');
        if (!hexDigit && c != L'.' && c != L':' && c != L'-' && c != L'/') return false;
    }
    AddOnce(addresses, value);
    return true;
}

bool ReadBoolean(const std::wstring& value, bool& result) {
    result = SameToken(value, L"TRUE");
    return result || SameToken(value, L"FALSE");
}

// "type:code", the code a number or "*" for every code.
bool ReadIcmp(const std::wstring& value, std::vector<std::wstring>& icmp) {
    const std::size_t colon = value.find(L':');
    uint32_t type = 0, code = 0;
    if (colon == std::wstring::npos || !ParseDecimal(value.substr(0, colon), 3, 255, type)) return false;
    const std::wstring codeText = value.substr(colon + 1);
    if (codeText != L"*" && !ParseDecimal(codeText, 3, 255, code)) return false;
    AddOnce(icmp, DecimalText(type) + L":" + (codeText == L"*" ? codeText : DecimalText(code)));
    return true;
}

// The security a rule asks of IPsec, in the NET_FW_AUTHENTICATE_TYPE numbering of INetFwRule3::SecureFlags:
// Authenticate is authentication with integrity (2), AuthenticateEncrypt adds encryption from the first packet
// (4), An-NoEncap is authentication without encapsulation (1), AnE-Nego authentication with integrity and
// encryption negotiated (3).
bool ReadSecurity(Field field, const std::wstring& value, int& secureFlags) {
    if (field == Field::Security && SameToken(value, L"Authenticate")) secureFlags = 2;
    if (field == Field::Security && SameToken(value, L"AuthenticateEncrypt")) secureFlags = 4;
    if (field == Field::Security2_9 && SameToken(value, L"An-NoEncap")) secureFlags = 1;
    if (field == Field::Security2 && SameToken(value, L"AnE-Nego")) secureFlags = 3;
    return secureFlags != 0;
}

// "2:6:2": the platform (2 is Windows NT), the major and the minor version, as FW_OS_PLATFORM holds them.
bool ReadPlatform(const std::wstring& value, std::vector<StoredFirewallRule::ForWindows>& platforms) {
    const std::size_t first = value.find(L':'), second = value.find(L':', first + 1);
    StoredFirewallRule::ForWindows windows;
    if (first == std::wstring::npos || second == std::wstring::npos ||
        !ParseDecimal(value.substr(0, first), 1, 7, windows.platform) ||
        !ParseDecimal(value.substr(first + 1, second - first - 1), 3, 255, windows.major) ||
        !ParseDecimal(value.substr(second + 1), 3, 255, windows.minor)) {
        return false;
    }
    platforms.push_back(windows);
    return true;
}

// The index of the field `name` in kFields; kFieldCount for a field of no concern here.
std::size_t FindField(const std::wstring& name) {
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const FieldName& known = kFields[i];
        if (known.prefix ? StartsWithToken(name, known.name) : SameToken(name, known.name)) return i;
    }
    return kFieldCount;
}

bool ReadField(const std::wstring& name, const std::wstring& value, Reading& reading) {
    const std::size_t index = FindField(name);
    if (index == kFieldCount) return true;
    const FieldName& known = kFields[index];
    if (known.once && reading.seen[index]) return false;
    reading.seen[index] = true;
    FirewallRule& rule = reading.stored.rule;
    uint32_t number = 0;
    switch (known.field) {
        case Field::Action:
            rule.action = SameToken(value, L"Block") ? kActionBlock : kActionAllow;
            reading.stored.overridesBlockRules = SameToken(value, L"ByPass");
            return SameToken(value, L"Allow") || SameToken(value, L"Block") || SameToken(value, L"ByPass");
        case Field::Direction:
            rule.direction = SameToken(value, L"Out") ? kDirectionOut : kDirectionIn;
            return SameToken(value, L"In") || SameToken(value, L"Out");
        case Field::Profile: {
            // NET_FW_PROFILE_TYPE2
            const int profile = SameToken(value, L"Domain")    ? 1
                                : SameToken(value, L"Private") ? 2
                                : SameToken(value, L"Public")  ? 4
                                                               : 0;
            reading.profiles |= profile;
            return profile != 0;
        }
        case Field::Protocol:
            if (!ParseDecimal(value, 3, 255, number)) return false;
            rule.protocol = static_cast<int>(number);
            return true;
        case Field::LocalPort:
            return ReadPorts(value, kLocalPortKeywords, reading.localPorts);
        case Field::RemotePort:
            return ReadPorts(value, kRemotePortKeywords, reading.remotePorts);
        case Field::Security:
            return ReadSecurity(known.field, value, reading.security[0]);
        case Field::Security2_9:
            return ReadSecurity(known.field, value, reading.security[1]);
        case Field::Security2:
            return ReadSecurity(known.field, value, reading.security[2]);
        case Field::Interface:
            if (value.empty()) return false;
            AddOnce(rule.interfaces, value);
            return true;
        case Field::InterfaceType: {
            const wchar_t* type = Lookup(value, kInterfaceTypes);
            if (type != nullptr) AddOnce(reading.interfaceTypes, type);
            return type != nullptr;
        }
        case Field::LocalAddress:
            return ReadAddress(value, reading.localAddresses);
        case Field::RemoteAddress:
            return ReadAddress(value, reading.remoteAddresses);
        case Field::Edge:
            return ReadBoolean(value, reading.edge);
        case Field::Defer:
            // NET_FW_EDGE_TRAVERSAL_TYPE: 2 defers to the program, 3 to the user.
            reading.defer = SameToken(value, L"App") ? 2 : SameToken(value, L"User") ? 3 : 0;
            return reading.defer != 0;
        case Field::Active:
            return ReadBoolean(value, rule.enabled);
        case Field::Icmp:
            return ReadIcmp(value, reading.icmp);
        case Field::Program:
            rule.applicationName = value;
            return true;
        case Field::Service:
            rule.serviceName = value;
            return true;
        case Field::Name:
            rule.name = value;
            return true;
        case Field::Description:
            rule.description = value;
            return true;
        case Field::Group:
            rule.grouping = value;
            return true;
        case Field::RemoteMachines:
            rule.remoteMachineAuthorizedList = value;
            return true;
        case Field::RemoteUsers:
            rule.remoteUserAuthorizedList = value;
            return true;
        case Field::LocalUsers:
            rule.localUserAuthorizedList = value;
            return true;
        case Field::LocalOwner:
            rule.localUserOwner = value;
            return true;
        case Field::Package:
            rule.localAppPackageId = value;
            return true;
        case Field::Platform:
            return ReadPlatform(value, reading.stored.platforms);
        case Field::Platform2:
            // GTEQ: the platform before it, and every later version.
            if (reading.stored.platforms.empty() || !SameToken(value, L"GTEQ")) return false;
            reading.stored.platforms.back().orLater = true;
            return true;
        case Field::TrustTuple:
            reading.stored.trustTupleOnly = true;
            return !value.empty();
        case Field::PackageFamily:
            reading.stored.packageFamilyName = value;
            return !value.empty();
    }
    return true;
}

bool ReadVersion(const std::wstring& text, StoredFirewallRule& stored) {
    const std::size_t point = text.find(L'.');
    uint32_t major = 0, minor = 0;
    if (text.empty() || AsciiLower(text[0]) != L'v' || point == std::wstring::npos ||
        !ParseDecimal(text.substr(1, point - 1), 3, 255, major) ||
        !ParseDecimal(text.substr(point + 1), 3, 255, minor)) {
        return false;
    }
    stored.versionMajor = static_cast<int>(major);
    stored.versionMinor = static_cast<int>(minor);
    return true;
}

}  // namespace

bool IsForWindows(const StoredFirewallRule& stored, WindowsVersion version) {
    constexpr uint32_t kWindowsNt = 2;  // VER_PLATFORM_WIN32_NT
    if (stored.platforms.empty() || version.major == 0) return true;
    for (const StoredFirewallRule::ForWindows& windows : stored.platforms) {
        if (windows.platform != kWindowsNt) continue;
        const bool same = version.major == windows.major && version.minor == windows.minor;
        const bool later =
            version.major > windows.major || (version.major == windows.major && version.minor > windows.minor);
        if (same || (windows.orLater && later)) return true;
    }
    return false;
}

bool CanConcernRemoteDesktop(const StoredFirewallRule& stored, WindowsVersion version) {
    return IsForWindows(stored, version) && !stored.trustTupleOnly && stored.packageFamilyName.empty() &&
           stored.rule.localAppPackageId.empty();
}

std::optional<StoredFirewallRule> ParseFirewallRuleText(const std::wstring& text) {
    Reading reading;
    FirewallRule& rule = reading.stored.rule;
    // What a rule means where it says nothing: any program, service, protocol, address and interface, disabled.
    rule.protocol = kAnyProtocol;
    rule.applicationName.clear();
    rule.serviceName.clear();
    rule.enabled = false;

    const std::size_t versionEnd = text.find(L'|');
    if (versionEnd == std::wstring::npos || !ReadVersion(text.substr(0, versionEnd), reading.stored)) {
        return std::nullopt;
    }
    for (std::size_t begin = versionEnd + 1; begin < text.size();) {
        std::size_t end = text.find(L'|', begin);
        if (end == std::wstring::npos) end = text.size();  // the last '|' left out
        const std::wstring field = text.substr(begin, end - begin);
        begin = end + 1;
        const std::size_t equals = field.find(L'=');
        if (equals == std::wstring::npos) return std::nullopt;
        if (!ReadField(field.substr(0, equals), field.substr(equals + 1), reading)) return std::nullopt;
    }

    const auto seen = [&](Field field) {
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            if (kFields[i].field == field && reading.seen[i]) return true;
        }
        return false;
    };
    if (!seen(Field::Action) || !seen(Field::Direction)) return std::nullopt;
    const bool hasPorts = !reading.localPorts.empty() || !reading.remotePorts.empty();
    if ((hasPorts && !ProtocolHasPorts(rule.protocol)) ||
        (!reading.icmp.empty() && !ProtocolHasIcmpTypes(rule.protocol))) {
        return std::nullopt;
    }
    rule.localPorts = Joined(reading.localPorts, L"*");
    rule.remotePorts = Joined(reading.remotePorts, L"*");
    rule.icmpTypesAndCodes = Joined(reading.icmp, L"");
    rule.localAddresses = Joined(reading.localAddresses, L"*");
    rule.remoteAddresses = Joined(reading.remoteAddresses, L"*");
    rule.interfaceTypes = Joined(reading.interfaceTypes, L"All");
    rule.profiles = reading.profiles != 0 ? reading.profiles : kAllProfiles;
    rule.edgeTraversalOptions = reading.defer != 0 ? reading.defer : reading.edge ? 1 : 0;
    // Each later version's field refines the earlier ones': Security2 over Security2_9 over Security.
    rule.secureFlags = reading.security[2] != 0   ? reading.security[2]
                       : reading.security[1] != 0 ? reading.security[1]
                                                  : reading.security[0];
    return reading.stored;
}

}  // namespace korvane
