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

// Gives `target` every setting of `rule` but its name, so that a rule edited by hand keeps nothing of its
// own. Protocol goes first: the firewall accepts ports only on a rule whose protocol has ports (TCP or UDP).
Status ApplySettings(INetFwRule* target, const FirewallRule& rule) {
    const auto put = [&](HRESULT (STDMETHODCALLTYPE INetFwRule::*setter)(BSTR), const std::wstring& value) {
        // A text the rule is not to have goes as none: Windows refuses some empty texts.
        const Bstr text(value.empty() ? nullptr : value.c_str());
        return (target->*setter)(text.Get());
    };
    HRESULT hr = target->put_Protocol(rule.protocol);
    if (SUCCEEDED(hr) && (rule.protocol == NET_FW_IP_PROTOCOL_TCP || rule.protocol == NET_FW_IP_PROTOCOL_UDP)) {
        hr = put(&INetFwRule::put_LocalPorts, rule.localPorts);
        if (SUCCEEDED(hr)) hr = put(&INetFwRule::put_RemotePorts, rule.remotePorts);
    }
    if (SUCCEEDED(hr)) hr = put(&INetFwRule::put_LocalAddresses, rule.localAddresses);
    if (SUCCEEDED(hr)) hr = put(&INetFwRule::put_RemoteAddresses, rule.remoteAddresses);
    if (SUCCEEDED(hr)) hr = target->put_Direction(static_cast<NET_FW_RULE_DIRECTION>(rule.direction));
    if (SUCCEEDED(hr)) hr = target->put_Action(static_cast<NET_FW_ACTION>(rule.action));
    if (SUCCEEDED(hr)) hr = target->put_Profiles(rule.profiles);
    if (SUCCEEDED(hr)) hr = put(&INetFwRule::put_ApplicationName, rule.applicationName);
    if (SUCCEEDED(hr)) hr = put(&INetFwRule::put_ServiceName, rule.serviceName);
    if (SUCCEEDED(hr)) hr = put(&INetFwRule::put_InterfaceTypes, rule.interfaceTypes);
    if (SUCCEEDED(hr)) hr = target->put_EdgeTraversal(rule.edgeTraversal ? VARIANT_TRUE : VARIANT_FALSE);
    if (SUCCEEDED(hr)) hr = put(&INetFwRule::put_Description, rule.description);
    if (SUCCEEDED(hr)) hr = put(&INetFwRule::put_Grouping, rule.grouping);
    // Last, and set every time: a new rule object starts out disabled.
    if (SUCCEEDED(hr)) hr = target->put_Enabled(rule.enabled ? VARIANT_TRUE : VARIANT_FALSE);
    return SUCCEEDED(hr) ? Status::Ok() : FailureFromHresult(hr);
}

// Every property of `source` that ApplySettings sets, and its name. A text property the rule does not
// have comes back empty.
HRESULT ReadSettings(INetFwRule* source, FirewallRule& rule) {
    const auto get = [&](HRESULT (STDMETHODCALLTYPE INetFwRule::*getter)(BSTR*), std::wstring& value) {
        Bstr text;
        const HRESULT hr = (source->*getter)(text.Put());
        value = text.Get() ? std::wstring(text.Get(), SysStringLen(text.Get())) : std::wstring();
        return hr;
    };
    long protocol = 0, profiles = 0;
    NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_IN;
    NET_FW_ACTION action = NET_FW_ACTION_ALLOW;
    VARIANT_BOOL enabled = VARIANT_FALSE, edgeTraversal = VARIANT_FALSE;
    HRESULT hr = get(&INetFwRule::get_Name, rule.name);
    if (SUCCEEDED(hr)) hr = get(&INetFwRule::get_Description, rule.description);
    if (SUCCEEDED(hr)) hr = get(&INetFwRule::get_Grouping, rule.grouping);
    if (SUCCEEDED(hr)) hr = source->get_Protocol(&protocol);
    if (SUCCEEDED(hr)) hr = get(&INetFwRule::get_LocalPorts, rule.localPorts);
    if (SUCCEEDED(hr)) hr = get(&INetFwRule::get_RemotePorts, rule.remotePorts);
    if (SUCCEEDED(hr)) hr = get(&INetFwRule::get_LocalAddresses, rule.localAddresses);
    if (SUCCEEDED(hr)) hr = get(&INetFwRule::get_RemoteAddresses, rule.remoteAddresses);
    if (SUCCEEDED(hr)) hr = source->get_Direction(&direction);
    if (SUCCEEDED(hr)) hr = source->get_Action(&action);
    if (SUCCEEDED(hr)) hr = source->get_Enabled(&enabled);
    if (SUCCEEDED(hr)) hr = source->get_Profiles(&profiles);
    if (SUCCEEDED(hr)) hr = get(&INetFwRule::get_ApplicationName, rule.applicationName);
    if (SUCCEEDED(hr)) hr = get(&INetFwRule::get_ServiceName, rule.serviceName);
    if (SUCCEEDED(hr)) hr = get(&INetFwRule::get_InterfaceTypes, rule.interfaceTypes);
    if (SUCCEEDED(hr)) hr = source->get_EdgeTraversal(&edgeTraversal);
    rule.protocol = static_cast<int>(protocol);
    rule.direction = direction;
    rule.action = action;
    rule.enabled = enabled != VARIANT_FALSE;
    rule.profiles = static_cast<int>(profiles);
    rule.edgeTraversal = edgeTraversal != VARIANT_FALSE;
    return hr;
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

    Status RulesInGroup(const std::wstring& grouping, std::vector<FirewallRule>& found) override {
        ComPtr<INetFwRules> rules;
        HRESULT hr = policy_->get_Rules(rules.Put());
        if (FAILED(hr)) return FailureFromHresult(hr);
        ComPtr<IUnknown> enumerator;
        hr = rules->get__NewEnum(enumerator.Put());
        if (FAILED(hr)) return FailureFromHresult(hr);
        ComPtr<IEnumVARIANT> items;
        hr = enumerator->QueryInterface(IID_IEnumVARIANT, items.PutVoid());
        if (FAILED(hr)) return FailureFromHresult(hr);
        for (;;) {
            Variant item;
            ULONG fetched = 0;
            hr = items->Next(1, item.Get(), &fetched);
            if (FAILED(hr)) return FailureFromHresult(hr);
            if (hr != S_OK || fetched == 0) return Status::Ok();
            if (item.Ref().vt != VT_DISPATCH || !item.Ref().pdispVal) continue;
            ComPtr<INetFwRule> rule;
            if (FAILED(item.Ref().pdispVal->QueryInterface(IID_INetFwRule, rule.PutVoid()))) continue;
            Bstr group;
            hr = rule->get_Grouping(group.Put());
            if (FAILED(hr)) return FailureFromHresult(hr);
            if (!group.Get() || grouping != group.Get()) continue;
            FirewallRule settings;
            hr = ReadSettings(rule.Get(), settings);
            if (FAILED(hr)) return FailureFromHresult(hr);
            found.push_back(std::move(settings));
        }
    }

    Status FindRule(const std::wstring& name, FirewallRule& found, bool& exists) override {
        exists = false;
        ComPtr<INetFwRules> rules;
        HRESULT hr = policy_->get_Rules(rules.Put());
        if (FAILED(hr)) return FailureFromHresult(hr);
        const Bstr ruleName(name.c_str());
        ComPtr<INetFwRule> rule;
        hr = rules->Item(ruleName.Get(), rule.Put());
        if (hr == kRuleNotFound || (SUCCEEDED(hr) && !rule)) return Status::Ok();
        if (FAILED(hr)) return FailureFromHresult(hr);
        hr = ReadSettings(rule.Get(), found);
        if (FAILED(hr)) return FailureFromHresult(hr);
        exists = true;
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
