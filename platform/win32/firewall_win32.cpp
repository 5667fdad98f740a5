#include "platform/win32/firewall_win32.h"

#include <windows.h>
#include <objbase.h>
// mingw-w64's libuuid lacks the firewall's class and interface ids: this defines them (as selectany) here.
#include <initguid.h>
#include <netfw.h>

#include "platform/firewall_rule_writes.h"
#include "platform/win32/dispatch.h"
#include "platform/win32/scoped.h"

namespace korvane {

namespace {

// What INetFwRules::Item answers for a name no rule has.
constexpr HRESULT kRuleNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
// NET_FW_EDGE_TRAVERSAL_TYPE, which mingw-w64's netfw.h does not name.
constexpr long kEdgeTraversalDeny = 0;
constexpr long kEdgeTraversalAllow = 1;

// A text the rule is not to have goes as none: Windows refuses some empty texts.
template <typename Rule, typename Setter>
HRESULT PutText(Rule* target, Setter setter, const std::wstring& value) {
    const Bstr text(value.empty() ? nullptr : value.c_str());
    return (target->*setter)(text.Get());
}

// A text property the rule does not have comes back empty.
template <typename Rule, typename Getter>
HRESULT GetText(Rule* source, Getter getter, std::wstring& value) {
    Bstr text;
    const HRESULT hr = (source->*getter)(text.Put());
    value = SUCCEEDED(hr) && text.Get() ? std::wstring(text.Get(), SysStringLen(text.Get())) : std::wstring();
    return hr;
}

// The interfaces a rule is limited to: a VARIANT holding an array of names, or nothing for every interface.
HRESULT ReadInterfaces(INetFwRule* source, std::vector<std::wstring>& names) {
    names.clear();
    Variant value;
    const HRESULT hr = source->get_Interfaces(value.Get());
    if (FAILED(hr)) return hr;
    if (!(value.Ref().vt & VT_ARRAY) || !value.Ref().parray) return S_OK;
    SAFEARRAY* array = value.Ref().parray;
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    for (LONG i = lower; i <= upper; ++i) {
        Variant item;
        if (FAILED(SafeArrayGetElement(array, &i, item.Get()))) continue;
        if (item.Ref().vt == VT_BSTR && item.Ref().bstrVal) names.push_back(item.Ref().bstrVal);
    }
    return S_OK;
}

HRESULT WriteInterfaces(INetFwRule* target, const std::vector<std::wstring>& names) {
    Variant value;
    if (!names.empty()) {
        SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(names.size()));
        if (!array) return E_OUTOFMEMORY;
        value.Get()->vt = VT_ARRAY | VT_VARIANT;
        value.Get()->parray = array;
        for (LONG i = 0; i < static_cast<LONG>(names.size()); ++i) {
            Variant item(names[static_cast<std::size_t>(i)].c_str());
            const HRESULT hr = SafeArrayPutElement(array, &i, item.Get());
            if (FAILED(hr)) return hr;
        }
    }
    return target->put_Interfaces(value.Ref());
}

// Edge traversal, and where the rule has them the settings of Windows 7's INetFwRule2 and Windows 8's
// INetFwRule3. Those newer settings are optional: one that cannot be read keeps its "none", and since they are
// written only where they differ from what the rule holds, it is then never written either.
HRESULT ReadNewerSettings(INetFwRule* source, FirewallRule& rule) {
    VARIANT_BOOL edgeTraversal = VARIANT_FALSE;
    const HRESULT hr = source->get_EdgeTraversal(&edgeTraversal);
    if (FAILED(hr)) return hr;
    rule.edgeTraversalOptions = edgeTraversal != VARIANT_FALSE ? kEdgeTraversalAllow : kEdgeTraversalDeny;
    ComPtr<INetFwRule2> rule2;
    long options = 0;
    if (SUCCEEDED(source->QueryInterface(IID_INetFwRule2, rule2.PutVoid())) &&
        SUCCEEDED(rule2->get_EdgeTraversalOptions(&options)))
        rule.edgeTraversalOptions = static_cast<int>(options);

    ComPtr<INetFwRule3> rule3;
    if (FAILED(source->QueryInterface(IID_INetFwRule3, rule3.PutVoid()))) return S_OK;
    GetText(rule3.Get(), &INetFwRule3::get_LocalAppPackageId, rule.localAppPackageId);
    GetText(rule3.Get(), &INetFwRule3::get_LocalUserOwner, rule.localUserOwner);
    GetText(rule3.Get(), &INetFwRule3::get_LocalUserAuthorizedList, rule.localUserAuthorizedList);
    GetText(rule3.Get(), &INetFwRule3::get_RemoteUserAuthorizedList, rule.remoteUserAuthorizedList);
    GetText(rule3.Get(), &INetFwRule3::get_RemoteMachineAuthorizedList, rule.remoteMachineAuthorizedList);
    long secureFlags = 0;
    if (SUCCEEDED(rule3->get_SecureFlags(&secureFlags))) rule.secureFlags = static_cast<int>(secureFlags);
    return S_OK;
}

// Edge traversal, and what only INetFwRule3 has. Those optional settings are written only where they differ
// from what the rule holds, so a rule of ours never depends on how a Windows takes "none" for them.
HRESULT WriteNewerSettings(INetFwRule* target, const FirewallRule& rule, const FirewallRule& current) {
    ComPtr<INetFwRule2> rule2;
    if (FAILED(target->QueryInterface(IID_INetFwRule2, rule2.PutVoid()))) {
        return target->put_EdgeTraversal(rule.edgeTraversalOptions == kEdgeTraversalAllow ? VARIANT_TRUE
                                                                                          : VARIANT_FALSE);
    }
    HRESULT hr = rule2->put_EdgeTraversalOptions(rule.edgeTraversalOptions);
    ComPtr<INetFwRule3> rule3;
    if (FAILED(hr) || FAILED(target->QueryInterface(IID_INetFwRule3, rule3.PutVoid()))) return hr;
    const struct {
        const std::wstring FirewallRule::*field;
        HRESULT (STDMETHODCALLTYPE INetFwRule3::*setter)(BSTR);
    } texts[] = {
        {&FirewallRule::localAppPackageId, &INetFwRule3::put_LocalAppPackageId},
        {&FirewallRule::localUserOwner, &INetFwRule3::put_LocalUserOwner},
        {&FirewallRule::localUserAuthorizedList, &INetFwRule3::put_LocalUserAuthorizedList},
        {&FirewallRule::remoteUserAuthorizedList, &INetFwRule3::put_RemoteUserAuthorizedList},
        {&FirewallRule::remoteMachineAuthorizedList, &INetFwRule3::put_RemoteMachineAuthorizedList},
    };
    for (const auto& text : texts) {
        if (SUCCEEDED(hr) && rule.*text.field != current.*text.field)
            hr = PutText(rule3.Get(), text.setter, rule.*text.field);
    }
    if (SUCCEEDED(hr) && rule.secureFlags != current.secureFlags) hr = rule3->put_SecureFlags(rule.secureFlags);
    return hr;
}

// Every property of `source`, and its name. A text property the rule does not have comes back empty.
HRESULT ReadSettings(INetFwRule* source, FirewallRule& rule) {
    long protocol = 0, profiles = 0;
    NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_IN;
    NET_FW_ACTION action = NET_FW_ACTION_ALLOW;
    VARIANT_BOOL enabled = VARIANT_FALSE;
    HRESULT hr = GetText(source, &INetFwRule::get_Name, rule.name);
    if (SUCCEEDED(hr)) hr = GetText(source, &INetFwRule::get_Description, rule.description);
    if (SUCCEEDED(hr)) hr = GetText(source, &INetFwRule::get_Grouping, rule.grouping);
    if (SUCCEEDED(hr)) hr = source->get_Protocol(&protocol);
    if (SUCCEEDED(hr)) hr = GetText(source, &INetFwRule::get_LocalPorts, rule.localPorts);
    if (SUCCEEDED(hr)) hr = GetText(source, &INetFwRule::get_RemotePorts, rule.remotePorts);
    // Optional, like the newer settings: one that cannot be read stays none.
    if (SUCCEEDED(hr)) GetText(source, &INetFwRule::get_IcmpTypesAndCodes, rule.icmpTypesAndCodes);
    if (SUCCEEDED(hr)) hr = GetText(source, &INetFwRule::get_LocalAddresses, rule.localAddresses);
    if (SUCCEEDED(hr)) hr = GetText(source, &INetFwRule::get_RemoteAddresses, rule.remoteAddresses);
    if (SUCCEEDED(hr)) hr = source->get_Direction(&direction);
    if (SUCCEEDED(hr)) hr = source->get_Action(&action);
    if (SUCCEEDED(hr)) hr = source->get_Enabled(&enabled);
    if (SUCCEEDED(hr)) hr = source->get_Profiles(&profiles);
    if (SUCCEEDED(hr)) hr = GetText(source, &INetFwRule::get_ApplicationName, rule.applicationName);
    if (SUCCEEDED(hr)) hr = GetText(source, &INetFwRule::get_ServiceName, rule.serviceName);
    if (SUCCEEDED(hr)) hr = GetText(source, &INetFwRule::get_InterfaceTypes, rule.interfaceTypes);
    if (SUCCEEDED(hr)) ReadInterfaces(source, rule.interfaces);
    if (SUCCEEDED(hr)) hr = ReadNewerSettings(source, rule);
    rule.protocol = static_cast<int>(protocol);
    rule.direction = direction;
    rule.action = action;
    rule.enabled = enabled != VARIANT_FALSE;
    rule.profiles = static_cast<int>(profiles);
    return hr;
}

HRESULT WriteSettings(INetFwRule* target, const FirewallRule& rule, const FirewallRule& current) {
    HRESULT hr = PutText(target, &INetFwRule::put_LocalAddresses, rule.localAddresses);
    if (SUCCEEDED(hr)) hr = PutText(target, &INetFwRule::put_RemoteAddresses, rule.remoteAddresses);
    if (SUCCEEDED(hr)) hr = target->put_Direction(static_cast<NET_FW_RULE_DIRECTION>(rule.direction));
    if (SUCCEEDED(hr)) hr = target->put_Action(static_cast<NET_FW_ACTION>(rule.action));
    if (SUCCEEDED(hr)) hr = target->put_Profiles(rule.profiles);
    if (SUCCEEDED(hr)) hr = PutText(target, &INetFwRule::put_ApplicationName, rule.applicationName);
    if (SUCCEEDED(hr)) hr = PutText(target, &INetFwRule::put_ServiceName, rule.serviceName);
    if (SUCCEEDED(hr)) hr = PutText(target, &INetFwRule::put_InterfaceTypes, rule.interfaceTypes);
    if (SUCCEEDED(hr) && rule.interfaces != current.interfaces) hr = WriteInterfaces(target, rule.interfaces);
    if (SUCCEEDED(hr)) hr = WriteNewerSettings(target, rule, current);
    if (SUCCEEDED(hr)) hr = PutText(target, &INetFwRule::put_Description, rule.description);
    if (SUCCEEDED(hr)) hr = PutText(target, &INetFwRule::put_Grouping, rule.grouping);
    return hr;
}

// Gives `target` every setting of `rule` but its name, so that a rule edited by hand keeps nothing of its
// own, in the order in which the firewall accepts them one by one.
Status ApplySettings(INetFwRule* target, const FirewallRule& rule) {
    FirewallRule current;
    HRESULT hr = ReadSettings(target, current);
    for (const RuleWrite write : RuleWriteOrder(current.protocol, rule.protocol)) {
        if (FAILED(hr)) break;
        switch (write) {
            // "*" is any port, and any ICMP type: the rule then holds none of its own.
            case RuleWrite::ClearPorts:
                hr = PutText(target, &INetFwRule::put_LocalPorts, L"*");
                if (SUCCEEDED(hr)) hr = PutText(target, &INetFwRule::put_RemotePorts, L"*");
                break;
            case RuleWrite::ClearIcmpTypes:
                hr = PutText(target, &INetFwRule::put_IcmpTypesAndCodes, L"*");
                break;
            case RuleWrite::Protocol:
                hr = target->put_Protocol(rule.protocol);
                break;
            case RuleWrite::Ports:
                hr = PutText(target, &INetFwRule::put_LocalPorts, rule.localPorts);
                if (SUCCEEDED(hr)) hr = PutText(target, &INetFwRule::put_RemotePorts, rule.remotePorts);
                break;
            case RuleWrite::IcmpTypes:
                hr = PutText(target, &INetFwRule::put_IcmpTypesAndCodes, rule.icmpTypesAndCodes);
                break;
            case RuleWrite::Settings:
                hr = WriteSettings(target, rule, current);
                break;
            case RuleWrite::Enabled:
                // Set every time: a new rule object starts out disabled.
                hr = target->put_Enabled(rule.enabled ? VARIANT_TRUE : VARIANT_FALSE);
                break;
        }
    }
    return SUCCEEDED(hr) ? Status::Ok() : FailureFromHresult(hr);
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

    Status FirewallEnabled(int profile, bool& enabled) override {
        // One profile at a time: CurrentProfileTypes may name several.
        VARIANT_BOOL on = VARIANT_TRUE;
        const HRESULT hr = policy_->get_FirewallEnabled(static_cast<NET_FW_PROFILE_TYPE2>(profile), &on);
        if (FAILED(hr)) return FailureFromHresult(hr);
        enabled = on != VARIANT_FALSE;
        return Status::Ok();
    }

    Status AllRules(std::vector<FirewallRule>& found) override {
        found.clear();
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
