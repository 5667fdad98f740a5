// The reader of firewall rules' registry strings, fuzzed with any text. A rule it reads holds only values the
// firewall's objects accept, no field's text reaches past the '|' that ends it, and a field the reader does not
// know changes nothing. firewall_rule_text.dict gives the fuzzer the grammar's field names and keywords.
#include <cstddef>
#include <cstdint>

#include "platform/firewall_rule_writes.h"
#include "port/firewall_rule_grammar.h"
#include "tests/fuzz/reference.h"

using namespace korvane;
using korvane::fuzz::Finding;

namespace {

// ASCII as itself; every other byte a character whose low byte is an ASCII one ('|', '=', a digit ...), which a
// reader that narrows characters would take for it.
wchar_t CharacterFor(uint8_t byte) {
    return byte < 0x80 ? static_cast<wchar_t>(byte) : static_cast<wchar_t>(0x100 | (byte & 0x7F));
}

bool IsProfileMask(int profiles) {
    return profiles == kAllProfiles || (profiles > 0 && (profiles & ~7) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An odd first byte starts the text with a rule's version, action and direction, so that most runs read
    // fields rather than stop at the head.
    std::wstring text = size > 0 && data[0] % 2 == 1 ? L"v2.10|Action=Allow|Dir=In|" : L"";
    for (size_t i = 1; i < size; ++i) text += CharacterFor(data[i]);
    const std::optional<StoredFirewallRule> read = ParseFirewallRuleText(text);
    if (!read) return 0;
    const FirewallRule& rule = read->rule;

    if (rule.protocol < 0 || rule.protocol > kAnyProtocol) Finding("protocol out of 0 to 256", text);
    if (!IsProfileMask(rule.profiles)) Finding("profiles not a mask of domain, private and public", text);
    if (rule.action != kActionAllow && rule.action != kActionBlock) Finding("action neither allow nor block", text);
    if (read->overridesBlockRules && rule.action != kActionAllow) Finding("a rule over block rules that blocks", text);
    if (rule.direction != kDirectionIn && rule.direction != kDirectionOut) Finding("direction", text);
    if (rule.edgeTraversalOptions < 0 || rule.edgeTraversalOptions > 3) Finding("edge traversal out of 0 to 3", text);
    if (rule.secureFlags < 0 || rule.secureFlags > 4) Finding("SecureFlags out of 0 to 4", text);
    if (!ProtocolHasPorts(rule.protocol) && (rule.localPorts != L"*" || rule.remotePorts != L"*")) {
        Finding("ports on a protocol without ports", text);
    }
    for (const auto& windows : read->platforms) {
        if (windows.platform > 7 || windows.major > 255 || windows.minor > 255)
            Finding("a platform out of range", text);
    }
    for (const std::wstring* field :
         {&rule.name, &rule.description, &rule.grouping, &rule.applicationName, &rule.serviceName, &rule.localAddresses,
          &rule.remoteAddresses, &rule.remoteMachineAuthorizedList, &rule.localAppPackageId,
          &read->packageFamilyName}) {
        if (field->find(L'|') != std::wstring::npos) Finding("a field's text past its '|'", text);
    }
    if (!text.empty() && text.back() == L'|') {
        const std::optional<StoredFirewallRule> again = ParseFirewallRuleText(text + L"Zz=1|");
        if (!again || again->rule.Fields() != rule.Fields() ||
            again->overridesBlockRules != read->overridesBlockRules ||
            again->platforms.size() != read->platforms.size() || again->trustTupleOnly != read->trustTupleOnly ||
            again->packageFamilyName != read->packageFamilyName) {
            Finding("an unknown field changed the rule", text);
        }
    }
    return 0;
}
