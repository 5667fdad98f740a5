#include "port/firewall_rule_grammar.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/firewall_rule_writes.h"
#include "platform/number_text.h"
#include "port/sentences.h"

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

// A word of the grammar and how the firewall's objects write it.
struct Keyword {
    const wchar_t* stored;
    const wchar_t* written;
};

// A list of keywords: where it begins and where it ends.
struct Keywords {
    const Keyword* begin;
    const Keyword* end;
};

const wchar_t* Lookup(const std::wstring& text, Keywords keywords) {
    for (const Keyword* keyword = keywords.begin; keyword != keywords.end; ++keyword) {
        if (SameToken(text, keyword->stored)) return keyword->written;
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
constexpr Keyword kAddressKeywords[] = {{L"LocalSubnet", L"LocalSubnet"},
                                        {L"DNS", L"DNS"},
                                        {L"DHCP", L"DHCP"},
                                        {L"WINS", L"WINS"},
                                        {L"DefaultGateway", L"Defaultgateway"},
                                        {L"Intranet", L"Intranet"},
                                        {L"Internet", L"Internet"},
                                        {L"RmtIntranet", L"RmtIntranet"},
                                        {L"Ply2Renders", L"Ply2Renders"},
                                        {L"CaptivePortal", L"CaptivePortal"}};
constexpr Keyword kInterfaceTypes[] = {
    {L"Lan", L"Lan"}, {L"Wireless", L"Wireless"}, {L"RemoteAccess", L"RemoteAccess"}};

// What a rule's fields have said so far.
struct Reading {
    StoredFirewallRule stored;
    bool hasAction = false, hasDirection = false;
    std::vector<std::wstring> localPorts, remotePorts, localAddresses, remoteAddresses, icmp, interfaceTypes;
    int profiles = 0;
    bool edge = false;
    int defer = 0;
    // The NET_FW_AUTHENTICATE_TYPE of Security, Security2_9 and Security2; 0 where absent.
    int security[3] = {};
};

void AddOnce(std::vector<std::wstring>& list, const std::wstring& item) {
    if (!Contains(list, item)) list.push_back(item);
}

// A word of the grammar and the number it stands for.
struct Choice {
    const wchar_t* word;
    int value;
};

bool Choose(const std::wstring& value, std::initializer_list<Choice> choices, int& result) {
    for (const Choice& choice : choices) {
        if (SameToken(value, choice.word)) {
            result = choice.value;
            return true;
        }
    }
    return false;
}

// A number of at most three digits, up to `highest`.
bool ReadNumber(std::wstring_view value, uint32_t highest, uint32_t& number) {
    const std::optional<uint32_t> read = DecimalValue(value, highest, 3);
    if (read) number = *read;
    return read.has_value();
}

// A port, a range "low-high" or one of `keywords`, as INetFwRule writes it.
bool ReadPorts(const std::wstring& value, Keywords keywords, std::vector<std::wstring>& ports) {
    if (const wchar_t* keyword = Lookup(value, keywords)) {
        AddOnce(ports, keyword);
        return true;
    }
    const std::wstring_view text = value;
    const std::size_t dash = text.find(L'-');
    const auto low = DecimalValue(text.substr(0, dash), kHighestPort, 5);
    if (dash == std::wstring::npos) {
        if (low) AddOnce(ports, DecimalText(*low));
        return low.has_value();
    }
    const auto high = DecimalValue(text.substr(dash + 1), kHighestPort, 5);
    if (!low || !high || *low > *high) return false;
    AddOnce(ports, DecimalText(*low) + L"-" + DecimalText(*high));
    return true;
}

// An address, range or subnet of IPv4 or IPv6 (kept as written), or a keyword.
bool ReadAddress(const std::wstring& value, std::vector<std::wstring>& addresses) {
    if (const wchar_t* keyword = Lookup(value, {std::begin(kAddressKeywords), std::end(kAddressKeywords)})) {
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
bool ReadIcmp(const std::wstring& value, Reading& reading) {
    const std::wstring_view text = value;
    const std::size_t colon = text.find(L':');
    uint32_t type = 0, code = 0;
    if (colon == std::wstring::npos || !ReadNumber(text.substr(0, colon), 255, type)) return false;
    const bool anyCode = text.substr(colon + 1) == L"*";
    if (!anyCode && !ReadNumber(text.substr(colon + 1), 255, code)) return false;
    AddOnce(reading.icmp, DecimalText(type) + L":" + (anyCode ? L"*" : DecimalText(code)));
    return true;
}

// "2:6:2": the platform (2 is Windows NT), the major and the minor version, as FW_OS_PLATFORM holds them.
bool ReadPlatform(const std::wstring& value, Reading& reading) {
    const std::wstring_view text = value;
    const std::size_t first = text.find(L':'), second = text.find(L':', first + 1);
    StoredFirewallRule::ForWindows windows;
    if (first == std::wstring::npos || second == std::wstring::npos ||
        !ReadNumber(text.substr(0, first), 7, windows.platform) ||
        !ReadNumber(text.substr(first + 1, second - first - 1), 255, windows.major) ||
        !ReadNumber(text.substr(second + 1), 255, windows.minor)) {
        return false;
    }
    reading.stored.platforms.push_back(windows);
    return true;
}

bool TrustTuple(const std::wstring& value, Reading& reading) {
    return reading.stored.trustTupleOnly = !value.empty();
}
bool LocalPorts(const std::wstring& value, Reading& reading) {
    return ReadPorts(value, {std::begin(kLocalPortKeywords), std::end(kLocalPortKeywords)}, reading.localPorts);
}
bool RemotePorts(const std::wstring& value, Reading& reading) {
    return ReadPorts(value, {std::begin(kRemotePortKeywords), std::end(kRemotePortKeywords)}, reading.remotePorts);
}
bool LocalAddresses(const std::wstring& value, Reading& reading) {
    return ReadAddress(value, reading.localAddresses);
}
bool RemoteAddresses(const std::wstring& value, Reading& reading) {
    return ReadAddress(value, reading.remoteAddresses);
}

// A field's value, as the readers of fields take it.
using Value = const std::wstring&;

// A field of the grammar and how its value is read; false where the value is not one of the grammar's.
struct FieldReader {
    const wchar_t* name;
    bool once;    // may appear at most once in a rule
    bool prefix;  // names every field that begins so
    int8_t text;  // the value kept as written in kTextProperties[text]; -1: read by `read`
    bool (*read)(Value value, Reading& reading);
};

// The properties a field's value is kept in as written.
std::wstring FirewallRule::*const kTextProperties[] = {&FirewallRule::applicationName,
                                                       &FirewallRule::serviceName,
                                                       &FirewallRule::name,
                                                       &FirewallRule::description,
                                                       &FirewallRule::grouping,
                                                       &FirewallRule::remoteMachineAuthorizedList,
                                                       &FirewallRule::remoteUserAuthorizedList,
                                                       &FirewallRule::localUserAuthorizedList,
                                                       &FirewallRule::localUserOwner,
                                                       &FirewallRule::localAppPackageId};

// The security a rule asks of IPsec is in the NET_FW_AUTHENTICATE_TYPE numbering of INetFwRule3::SecureFlags:
// Authenticate is authentication with integrity (2), AuthenticateEncrypt adds encryption from the first packet (4),
// An-NoEncap is authentication without encapsulation (1), AnE-Nego authentication with integrity and encryption
// negotiated (3). Edge traversal is NET_FW_EDGE_TRAVERSAL_TYPE: Defer=App is 2, Defer=User 3.
const FieldReader kFields[] = {
    {L"Action", true, false, -1,
     [](Value value, Reading& reading) {
         reading.hasAction = true;
         reading.stored.overridesBlockRules = SameToken(value, L"ByPass");
         return Choose(value, {{L"Allow", kActionAllow}, {L"Block", kActionBlock}, {L"ByPass", kActionAllow}},
                       reading.stored.rule.action);
     }},
    {L"Dir", true, false, -1,
     [](Value value, Reading& reading) {
         reading.hasDirection = true;
         return Choose(value, {{L"In", kDirectionIn}, {L"Out", kDirectionOut}}, reading.stored.rule.direction);
     }},
    {L"Profile", false, false, -1,
     [](Value value, Reading& reading) {
         int profile = 0;  // NET_FW_PROFILE_TYPE2
         const bool known = Choose(value, {{L"Domain", 1}, {L"Private", 2}, {L"Public", 4}}, profile);
         reading.profiles |= profile;
         return known;
     }},
    {L"Protocol", true, false, -1,
     [](Value value, Reading& reading) {
         uint32_t protocol = 0;
         if (!ReadNumber(value, 255, protocol)) return false;
         reading.stored.rule.protocol = static_cast<int>(protocol);
         return true;
     }},
    {L"LPort", false, false, -1, LocalPorts},
    {L"RPort", false, false, -1, RemotePorts},
    // Later versions add their port keywords in fields of their own: LPort2_10, LPort2_20, RPort2_10 ...
    {L"LPort2_", false, true, -1, LocalPorts},
    {L"RPort2_", false, true, -1, RemotePorts},
    {L"Security", true, false, -1,
     [](Value value, Reading& reading) {
         return Choose(value, {{L"Authenticate", 2}, {L"AuthenticateEncrypt", 4}}, reading.security[0]);
     }},
    {L"Security2_9", true, false, -1,
     [](Value value, Reading& reading) {
         return Choose(value, {{L"An-NoEncap", 1}}, reading.security[1]);
     }},
    {L"Security2", true, false, -1,
     [](Value value, Reading& reading) {
         return Choose(value, {{L"AnE-Nego", 3}}, reading.security[2]);
     }},
    {L"IF", false, false, -1,
     [](Value value, Reading& reading) {
         if (!value.empty()) AddOnce(reading.stored.rule.interfaces, value);
         return !value.empty();
     }},
    {L"IFType", false, false, -1,
     [](Value value, Reading& reading) {
         const wchar_t* type = Lookup(value, {std::begin(kInterfaceTypes), std::end(kInterfaceTypes)});
         if (type != nullptr) AddOnce(reading.interfaceTypes, type);
         return type != nullptr;
     }},
    {L"App", true, false, 0, nullptr},
    {L"Svc", true, false, 1, nullptr},
    {L"LA4", false, false, -1, LocalAddresses},
    {L"LA6", false, false, -1, LocalAddresses},
    {L"RA4", false, false, -1, RemoteAddresses},
    {L"RA6", false, false, -1, RemoteAddresses},
    {L"RA42", false, false, -1, RemoteAddresses},
    {L"RA62", false, false, -1, RemoteAddresses},
    {L"Name", true, false, 2, nullptr},
    {L"Desc", true, false, 3, nullptr},
    {L"EmbedCtxt", true, false, 4, nullptr},
    {L"Edge", true, false, -1, [](Value value, Reading& reading) { return ReadBoolean(value, reading.edge); }},
    {L"Defer", true, false, -1,
     [](Value value, Reading& reading) {
         return Choose(value, {{L"App", 2}, {L"User", 3}}, reading.defer);
     }},
    {L"Active", true, false, -1,
     [](Value value, Reading& reading) { return ReadBoolean(value, reading.stored.rule.enabled); }},
    {L"ICMP4", false, false, -1, ReadIcmp},
    {L"ICMP6", false, false, -1, ReadIcmp},
    {L"RMAuth", true, false, 5, nullptr},
    {L"RUAuth", true, false, 6, nullptr},
    {L"LUAuth", true, false, 7, nullptr},
    {L"LUOwn", true, false, 8, nullptr},
    {L"AppPkgId", true, false, 9, nullptr},
    {L"Platform", false, false, -1, ReadPlatform},
    // GTEQ: the platform before it, and every later version.
    {L"Platform2", false, false, -1,
     [](Value value, Reading& reading) {
         if (reading.stored.platforms.empty() || !SameToken(value, L"GTEQ")) return false;
         reading.stored.platforms.back().orLater = true;
         return true;
     }},
    // Trust tuple keywords: TTK, then TTK2_22, TTK2_27 ... as versions add them.
    {L"TTK", false, false, -1, TrustTuple},
    {L"TTK2_", false, true, -1, TrustTuple},
    {L"PFN", true, false, -1,
     [](Value value, Reading& reading) {
         reading.stored.packageFamilyName = value;
         return !value.empty();
     }},
};
constexpr std::size_t kFieldCount = sizeof(kFields) / sizeof(kFields[0]);

bool ReadVersion(std::wstring_view text, StoredFirewallRule& stored) {
    const std::size_t point = text.find(L'.');
    uint32_t major = 0, minor = 0;
    if (text.empty() || AsciiLower(text[0]) != L'v' || point == std::wstring::npos ||
        !ReadNumber(text.substr(1, point - 1), 255, major) || !ReadNumber(text.substr(point + 1), 255, minor)) {
        return false;
    }
    stored.versionMajor = static_cast<int>(major);
    stored.versionMinor = static_cast<int>(minor);
    return true;
}

}  // namespace

bool CanConcernRemoteDesktop(const StoredFirewallRule& stored, WindowsVersion version) {
    if (stored.trustTupleOnly || !stored.packageFamilyName.empty() || !stored.rule.localAppPackageId.empty()) {
        return false;
    }
    // For every version where the rule names none, or the running one is unknown.
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
    bool seen[kFieldCount] = {};
    for (std::size_t begin = versionEnd + 1; begin < text.size();) {
        std::size_t end = text.find(L'|', begin);
        if (end == std::wstring::npos) end = text.size();  // the last '|' left out
        const std::wstring field = text.substr(begin, end - begin);
        begin = end + 1;
        const std::size_t equals = field.find(L'=');
        if (equals == std::wstring::npos) return std::nullopt;
        const std::wstring name = field.substr(0, equals);
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            const FieldReader& known = kFields[i];
            if (!(known.prefix ? StartsWithToken(name, known.name) : SameToken(name, known.name))) continue;
            const std::wstring value = field.substr(equals + 1);
            if (known.once && seen[i]) return std::nullopt;
            if (known.text >= 0) {
                reading.stored.rule.*kTextProperties[known.text] = value;
            } else if (!known.read(value, reading)) {
                return std::nullopt;
            }
            seen[i] = true;
            break;  // a field this program does not know is left out
        }
    }

    if (!reading.hasAction || !reading.hasDirection) return std::nullopt;
    const bool hasPorts = !reading.localPorts.empty() || !reading.remotePorts.empty();
    if ((hasPorts && !ProtocolHasPorts(rule.protocol)) ||
        (!reading.icmp.empty() && !ProtocolHasIcmpTypes(rule.protocol))) {
        return std::nullopt;
    }
    const auto listed = [](const std::vector<std::wstring>& list, const wchar_t* none) {
        return list.empty() ? std::wstring(none) : Joined(list, L",");
    };
    rule.localPorts = listed(reading.localPorts, L"*");
    rule.remotePorts = listed(reading.remotePorts, L"*");
    rule.icmpTypesAndCodes = listed(reading.icmp, L"");
    rule.localAddresses = listed(reading.localAddresses, L"*");
    rule.remoteAddresses = listed(reading.remoteAddresses, L"*");
    rule.interfaceTypes = listed(reading.interfaceTypes, L"All");
    rule.profiles = reading.profiles != 0 ? reading.profiles : kAllProfiles;
    rule.edgeTraversalOptions = reading.defer != 0 ? reading.defer : reading.edge ? 1 : 0;
    // Each later version's field refines the earlier ones': Security2 over Security2_9 over Security.
    rule.secureFlags = reading.security[2] != 0   ? reading.security[2]
                       : reading.security[1] != 0 ? reading.security[1]
                                                  : reading.security[0];
    return reading.stored;
}

}  // namespace korvane
