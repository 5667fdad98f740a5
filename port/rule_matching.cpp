#include "port/rule_matching.h"

#include "platform/number_text.h"
#include "port/remote_desktop_listener.h"

namespace korvane {

namespace {

std::wstring Trimmed(const std::wstring& text) {
    const std::size_t begin = text.find_first_not_of(L" \t");
    if (begin == std::wstring::npos) return std::wstring();
    return text.substr(begin, text.find_last_not_of(L" \t") - begin + 1);
}

// A port number as the firewall writes it: plain digits, 0 to 65535, at most five of them.
std::optional<uint32_t> ListedPort(const std::wstring& text) {
    return DecimalValue(text, kHighestPort, 5);
}

bool IsSvchost(const std::wstring& program, const std::wstring& systemDirectory) {
    return SameName(program, L"%SystemRoot%\\system32\\svchost.exe") ||
           SameName(program, L"%windir%\\system32\\svchost.exe") ||
           (!systemDirectory.empty() && SameName(program, systemDirectory + L"\\svchost.exe"));
}

}  // namespace

ListenerProgram RemoteDesktopListenerProgram(WindowsVersion version) {
    if (ListensInKernel(version)) return {kKernelOwner, L""};
    return {kRemoteDesktopProgram, kRemoteDesktopService};
}

bool PortListCovers(const std::wstring& localPorts, uint16_t port) {
    const std::wstring list = Trimmed(localPorts);
    if (list.empty()) return true;
    for (std::size_t begin = 0; begin <= list.size();) {
        std::size_t end = list.find(L',', begin);
        if (end == std::wstring::npos) end = list.size();
        const std::wstring item = Trimmed(list.substr(begin, end - begin));
        begin = end + 1;
        if (item == L"*") return true;
        const std::size_t dash = item.find(L'-');
        if (dash == std::wstring::npos) {
            if (ListedPort(item) == port) return true;
            continue;
        }
        const std::optional<uint32_t> low = ListedPort(Trimmed(item.substr(0, dash)));
        const std::optional<uint32_t> high = ListedPort(Trimmed(item.substr(dash + 1)));
        if (low && high && *low <= port && port <= *high) return true;
        // Anything else is a keyword: ports the system assigns (RPC, Teredo ...), never Remote Desktop's.
    }
    return false;
}

bool IsInterfaceGuid(const std::wstring& text) {
    if (text.size() != 38 || text.front() != L'{' || text.back() != L'}') return false;
    for (std::size_t i = 1; i < 37; ++i) {
        const wchar_t c = text[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        const bool hex = (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
        if (dash ? c != L'-' : !hex) return false;
    }
    return true;
}

bool AppliesToListener(const FirewallRule& rule, const RemoteDesktopListener& listener) {
    if (!rule.localAppPackageId.empty()) return false;
    const std::wstring program = Trimmed(rule.applicationName);
    const std::wstring service = Trimmed(rule.serviceName);
    // Windows 7's listener is the kernel's: no service, and no program but "System".
    if (ListensInKernel(listener.version))
        return (program.empty() || SameName(program, kKernelOwner)) && service.empty();
    const bool programApplies = program.empty() || IsSvchost(program, listener.systemDirectory);
    const bool serviceApplies = service.empty() || service == L"*" || SameName(service, kRemoteDesktopService);
    return programApplies && serviceApplies;
}

bool Concerns(const FirewallRule& rule, int action, int protocol, uint16_t port,
              const RemoteDesktopListener& listener) {
    return rule.enabled && rule.direction == kDirectionIn && rule.action == action &&
           (rule.protocol == protocol || rule.protocol == kAnyProtocol) && PortListCovers(rule.localPorts, port) &&
           AppliesToListener(rule, listener);
}

std::vector<FirewallRule> BlockingRules(const std::vector<FirewallRule>& firewallRules, int protocol, uint16_t port,
                                        int currentProfiles, const RemoteDesktopListener& listener) {
    std::vector<FirewallRule> blocking;
    for (const FirewallRule& rule : firewallRules) {
        if (!Concerns(rule, kActionBlock, protocol, port, listener)) continue;
        if (currentProfiles != 0 && !(rule.profiles & currentProfiles)) continue;
        blocking.push_back(rule);
    }
    return blocking;
}

}  // namespace korvane
