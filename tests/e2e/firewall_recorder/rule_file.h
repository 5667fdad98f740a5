// The firewall recorder's rule list on disk, shared by the recorder (which keeps it) and the bench (which
// reads and seeds it): one rule per line, UTF-8, fields separated by '|' in the order
//   name|description|grouping|protocol|localports|direction|action|profiles|enabled|
//   remoteports|localaddresses|remoteaddresses|application|service|interfacetypes|edgetraversal
// with '\', '|', CR and LF inside a field written as "\\", "\|", "\r", "\n". Numbers are decimal,
// enabled and edgetraversal are "true" or "false".
#pragma once

#include <string>
#include <vector>

namespace firewall_recorder {

// Where the recorder keeps its rules, inside the test prefix.
constexpr wchar_t kRuleFilePath[] = L"C:\\firewall-rules.txt";

// While a file of this name plus an operation's name exists (e.g. C:\firewall-fail-add), that operation
// fails. The file may hold the HRESULT to answer, in hex (an empty file means E_ACCESSDENIED), and after it
// a count N: then only the Nth call fails, once, and the file is gone afterwards.
constexpr wchar_t kFailMarkerPrefix[] = L"C:\\firewall-fail-";
constexpr wchar_t kFailCreate[] = L"create";  // creating the policy object
constexpr wchar_t kFailItem[] = L"item";      // INetFwRules::Item
constexpr wchar_t kFailAdd[] = L"add";        // INetFwRules::Add
constexpr wchar_t kFailUpdate[] = L"update";  // any property change of a stored rule
constexpr wchar_t kFailRemove[] = L"remove";  // INetFwRules::Remove
// Every call on the policy object, as while the firewall service is stopped or disabled.
constexpr wchar_t kFailService[] = L"service";

// What the policy says of local rules: "modifyState currentProfiles" in decimal (NET_FW_MODIFY_STATE and
// NET_FW_PROFILE_TYPE2). Without the file: rules apply (0), and the private profile (2) is current.
constexpr wchar_t kLocalPolicyPath[] = L"C:\\firewall-local-policy.txt";

// One rule as stored. The values of a property never set are those of a new rule object on Windows:
// any protocol, inbound, allow, all profiles, disabled, no ports, any address, any program and service,
// every interface type, no edge traversal.
struct StoredRule {
    std::wstring name;
    std::wstring description;
    std::wstring grouping;
    long protocol = 256;
    std::wstring localPorts;
    long direction = 1;
    long action = 1;
    long profiles = 0x7FFFFFFF;
    bool enabled = false;
    std::wstring remotePorts;
    std::wstring localAddresses = L"*";
    std::wstring remoteAddresses = L"*";
    std::wstring applicationName;
    std::wstring serviceName;
    std::wstring interfaceTypes = L"All";
    bool edgeTraversal = false;

    bool operator==(const StoredRule& other) const;
};

std::string FormatRuleLine(const StoredRule& rule);
// False (with the reason in `error`) when the line is not one FormatRuleLine could have written.
bool ParseRuleLine(const std::string& line, StoredRule& rule, std::string& error);

// A missing file is an empty list. False (with the reason in `error`) when the file cannot be read or
// holds a line that is not a rule.
bool ReadRuleFile(std::vector<StoredRule>& rules, std::string& error);
// Replaces the file as a whole (written beside it, then moved over it). False with the reason on failure.
bool WriteRuleFile(const std::vector<StoredRule>& rules, std::string& error);

}  // namespace firewall_recorder
