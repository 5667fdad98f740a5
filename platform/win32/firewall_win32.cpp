#include "platform/win32/firewall_win32.h"

#include <windows.h>
#include <objbase.h>
// mingw-w64's libuuid lacks the firewall's class and interface ids: this defines them (as selectany) here.
#include <initguid.h>
#include <netfw.h>

#include "platform/win32/dispatch.h"
#include "platform/win32/scoped.h"

namespace korvane {

namespace {

// What INetFwRules::Item answers for a name no rule has.
constexpr HRESULT kRuleNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

// Gives `target` every setting of `rule` but its name. Protocol goes first: the firewall accepts local ports
// only on a rule whose protocol has ports (TCP or UDP).
Status ApplySettings(INetFwRule* target, const FirewallRule& rule) {
    HRESULT hr = target->put_Protocol(rule.protocol);
    if (FAILED(hr)) return FailureFromHresult(hr);
    const Bstr ports(rule.localPorts.c_str());
    hr = target->put_LocalPorts(ports.Get());
    if (FAILED(hr)) return FailureFromHresult(hr);
    hr = target->put_Direction(static_cast<NET_FW_RULE_DIRECTION>(rule.direction));
    if (FAILED(hr)) return FailureFromHresult(hr);
    hr = target->put_Action(static_cast<NET_FW_ACTION>(rule.action));
    if (FAILED(hr)) return FailureFromHresult(hr);
    hr = target->put_Profiles(rule.profiles);
    if (FAILED(hr)) return FailureFromHresult(hr);
    const Bstr description(rule.description.c_str());
    hr = target->put_Description(description.Get());
    if (FAILED(hr)) return FailureFromHresult(hr);
    const Bstr grouping(rule.grouping.c_str());
    hr = target->put_Grouping(grouping.Get());
    if (FAILED(hr)) return FailureFromHresult(hr);
    // A new rule object starts out disabled.
    hr = target->put_Enabled(rule.enabled ? VARIANT_TRUE : VARIANT_FALSE);
    if (FAILED(hr)) return FailureFromHresult(hr);
    return Status::Ok();
}

class WindowsFirewallPolicy final : public FirewallPolicy {
public:
    explicit WindowsFirewallPolicy(ComPtr<INetFwPolicy2> policy) : policy_(std::move(policy)) {}

    Status LocalPolicyState(FirewallLocalPolicy& state) override {
        long profiles = 0;
        HRESULT hr = policy_->get_CurrentProfileTypes(&profiles);
        if (FAILED(hr)) return FailureFromHresult(hr);
        // For the profiles that are current: whether rules added here take effect.
        NET_FW_MODIFY_STATE modifyState = NET_FW_MODIFY_STATE_OK;
        hr = policy_->get_LocalPolicyModifyState(&modifyState);
        if (FAILED(hr)) return FailureFromHresult(hr);
        state.currentProfiles = static_cast<int>(profiles);
        state.modifyState = static_cast<int>(modifyState);
        return Status::Ok();
    }

    Status EnsureRule(const FirewallRule& rule, bool& added) override {
        added = false;
        ComPtr<INetFwRules> rules;
        HRESULT hr = policy_->get_Rules(rules.Put());
        if (FAILED(hr)) return FailureFromHresult(hr);

        const Bstr name(rule.name.c_str());
        ComPtr<INetFwRule> existing;
        hr = rules->Item(name.Get(), existing.Put());
        if (FAILED(hr) && hr != kRuleNotFound) return FailureFromHresult(hr);
        if (SUCCEEDED(hr) && existing) return ApplySettings(existing.Get(), rule);

        ComPtr<INetFwRule> created;
        hr = CoCreateInstance(CLSID_NetFwRule, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwRule, created.PutVoid());
        if (FAILED(hr)) return FailureFromHresult(hr);
        hr = created->put_Name(name.Get());
        if (FAILED(hr)) return FailureFromHresult(hr);
        Status status = ApplySettings(created.Get(), rule);
        if (!status) return status;
        hr = rules->Add(created.Get());
        if (FAILED(hr)) return FailureFromHresult(hr);
        added = true;
        return Status::Ok();
    }

    Status RemoveRule(const std::wstring& name) override {
        ComPtr<INetFwRules> rules;
        HRESULT hr = policy_->get_Rules(rules.Put());
        if (FAILED(hr)) return FailureFromHresult(hr);
        const Bstr ruleName(name.c_str());
        hr = rules->Remove(ruleName.Get());
        // A rule that is already gone is what the caller wants.
        if (FAILED(hr) && hr != kRuleNotFound) return FailureFromHresult(hr);
        return Status::Ok();
    }

private:
    ComPtr<INetFwPolicy2> policy_;
};

}  // namespace

std::unique_ptr<FirewallPolicy> CreateWindowsFirewallPolicy(Status& status) {
    ComPtr<INetFwPolicy2> policy;
    const HRESULT hr =
        CoCreateInstance(CLSID_NetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwPolicy2, policy.PutVoid());
    if (FAILED(hr)) {
        status = FailureFromHresult(hr);
        return nullptr;
    }
    status = Status::Ok();
    return std::make_unique<WindowsFirewallPolicy>(std::move(policy));
}

}  // namespace korvane
