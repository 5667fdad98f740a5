#include "recorded_firewall.h"

#include <objbase.h>
// mingw-w64's libuuid lacks the firewall's class and interface ids: this defines them (as selectany) here.
#include <initguid.h>
#include <netfw.h>

#include <cstdio>

#include "bench.h"
#include "platform/win32/scoped.h"

namespace firewall_recorder {

std::string Show(const StoredRule& rule) {
    using e2e::Quote;
    return "{name " + Quote(rule.name) + ", description " + Quote(rule.description) + ", grouping " +
           Quote(rule.grouping) + ", protocol " + std::to_string(rule.protocol) + ", local ports " +
           Quote(rule.localPorts) + ", remote ports " + Quote(rule.remotePorts) + ", local addresses " +
           Quote(rule.localAddresses) + ", remote addresses " + Quote(rule.remoteAddresses) + ", direction " +
           std::to_string(rule.direction) + ", action " + std::to_string(rule.action) + ", profiles " +
           e2e::Hex(static_cast<uint32_t>(rule.profiles)) + ", program " + Quote(rule.applicationName) + ", service " +
           Quote(rule.serviceName) + ", interface types " + Quote(rule.interfaceTypes) +
           (rule.edgeTraversal ? ", edge traversal" : "") + (rule.enabled ? ", enabled}" : ", disabled}");
}

}  // namespace firewall_recorder

namespace e2e {

namespace {

std::wstring MarkerPath(FirewallOperation operation) {
    const wchar_t* name = L"";
    switch (operation) {
        case FirewallOperation::CreatePolicy:
            name = firewall_recorder::kFailCreate;
            break;
        case FirewallOperation::Item:
            name = firewall_recorder::kFailItem;
            break;
        case FirewallOperation::Add:
            name = firewall_recorder::kFailAdd;
            break;
        case FirewallOperation::Update:
            name = firewall_recorder::kFailUpdate;
            break;
        case FirewallOperation::Remove:
            name = firewall_recorder::kFailRemove;
            break;
        case FirewallOperation::Service:
            name = firewall_recorder::kFailService;
            break;
    }
    return std::wstring(firewall_recorder::kFailMarkerPrefix) + name;
}

constexpr FirewallOperation kAllOperations[] = {FirewallOperation::CreatePolicy, FirewallOperation::Item,
                                                FirewallOperation::Add,          FirewallOperation::Update,
                                                FirewallOperation::Remove,       FirewallOperation::Service};

// Removes a marker; false when it is still there afterwards.
bool RemoveMarker(FirewallOperation operation) {
    const std::wstring path = MarkerPath(operation);
    return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

}  // namespace

RecordedFirewallRule Recorded(const korvane::FirewallRule& rule) {
    RecordedFirewallRule recorded;
    recorded.name = rule.name;
    recorded.description = rule.description;
    recorded.grouping = rule.grouping;
    recorded.protocol = rule.protocol;
    recorded.localPorts = rule.localPorts;
    recorded.direction = rule.direction;
    recorded.action = rule.action;
    recorded.profiles = rule.profiles;
    recorded.enabled = rule.enabled;
    recorded.remotePorts = rule.remotePorts;
    recorded.localAddresses = rule.localAddresses;
    recorded.remoteAddresses = rule.remoteAddresses;
    recorded.applicationName = rule.applicationName;
    recorded.serviceName = rule.serviceName;
    recorded.interfaceTypes = rule.interfaceTypes;
    recorded.edgeTraversal = rule.edgeTraversalOptions == 1;
    return recorded;
}

std::vector<RecordedFirewallRule> ReadRecordedFirewallRules() {
    std::vector<RecordedFirewallRule> rules;
    std::string error;
    if (!firewall_recorder::ReadRuleFile(rules, error)) FAIL_SCENARIO("recorded firewall rules: " + error);
    return rules;
}

std::vector<RecordedFirewallRule> RecordedFirewallRulesNamed(const std::wstring& name) {
    std::vector<RecordedFirewallRule> named;
    for (RecordedFirewallRule& rule : ReadRecordedFirewallRules()) {
        if (rule.name == name) named.push_back(std::move(rule));
    }
    return named;
}

void SeedRecordedFirewallRules(const std::vector<RecordedFirewallRule>& rules) {
    std::string error;
    if (!firewall_recorder::WriteRuleFile(rules, error)) FAIL_SCENARIO("seeding firewall rules: " + error);
}

void ClearRecordedFirewallRules() {
    if (!DeleteFileW(firewall_recorder::kRuleFilePath) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        FAIL_SCENARIO("cannot delete the recorded firewall rules: error " + std::to_string(GetLastError()));
    }
}

void SetFirewallFailure(FirewallOperation operation, bool fails, uint32_t code, int nthCall) {
    const std::wstring path = MarkerPath(operation);
    if (!fails) {
        if (!RemoveMarker(operation)) FAIL_SCENARIO("cannot delete " + Utf8(path));
        return;
    }
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) FAIL_SCENARIO("cannot create " + Utf8(path));
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%08X %d", code, nthCall);
    DWORD written = 0;
    const bool ok = WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr) && written == DWORD(length);
    CloseHandle(file);
    if (!ok) FAIL_SCENARIO("cannot write " + Utf8(path));
}

void SetFirewallAddFails(bool fails) {
    SetFirewallFailure(FirewallOperation::Add, fails);
}

void ClearFirewallFailures() {
    for (FirewallOperation operation : kAllOperations) SetFirewallFailure(operation, false);
    if (!DeleteFileW(firewall_recorder::kLocalPolicyPath) && GetLastError() != ERROR_FILE_NOT_FOUND)
        FAIL_SCENARIO("cannot delete " + Utf8(firewall_recorder::kLocalPolicyPath));
}

void SetFirewallLocalPolicy(int modifyState, int currentProfiles) {
    const HANDLE file = CreateFileW(firewall_recorder::kLocalPolicyPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) FAIL_SCENARIO("cannot create " + Utf8(firewall_recorder::kLocalPolicyPath));
    const std::string text = std::to_string(modifyState) + " " + std::to_string(currentProfiles);
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok) FAIL_SCENARIO("cannot write " + Utf8(firewall_recorder::kLocalPolicyPath));
}

CleanFirewall::CleanFirewall() {
    ClearFirewallFailures();
    ClearRecordedFirewallRules();
}

CleanFirewall::~CleanFirewall() {
    // No FAIL_SCENARIO here: a destructor runs while a scenario may already be unwinding.
    for (FirewallOperation operation : kAllOperations) {
        if (!RemoveMarker(operation)) RecordFailure(__FILE__, __LINE__, "cannot delete " + Utf8(MarkerPath(operation)));
    }
    DeleteFileW(firewall_recorder::kLocalPolicyPath);
}

std::wstring FirewallPolicyServer() {
    korvane::ComApartment apartment;
    korvane::ComPtr<INetFwPolicy2> policy;
    if (FAILED(
            CoCreateInstance(CLSID_NetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwPolicy2, policy.PutVoid()))) {
        return {};
    }
    // The module that holds the object's function table is the one that implements it.
    HMODULE module = nullptr;
    const void* table = *reinterpret_cast<void* const*>(policy.Get());
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<const wchar_t*>(table), &module)) {
        return {};
    }
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return std::wstring(path, length);
}

}  // namespace e2e
