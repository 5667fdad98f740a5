#include <windows.h>
#include <objbase.h>
// mingw-w64's libuuid lacks the firewall's class and interface ids: this defines them (as selectany) here.
#include <initguid.h>
#include <netfw.h>

#include <type_traits>

#include "platform/firewall_rule_writes.h"
#include "platform/win32/dispatch.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/scoped.h"

namespace korvane {

namespace {

// What INetFwRules::Item answers for a name no rule has.
constexpr HRESULT kRuleNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
// NET_FW_EDGE_TRAVERSAL_TYPE, which mingw-w64's netfw.h does not name.
constexpr long kEdgeTraversalDeny = 0;
constexpr long kEdgeTraversalAllow = 1;

// A text the rule is not to have goes as none: Windows refuses some empty texts. A text property the rule does
// not have comes back empty.
template <typename Interface>
HRESULT Put(Interface* target, HRESULT (STDMETHODCALLTYPE Interface::*setter)(BSTR), const std::wstring& value) {
    const Bstr text(value.empty() ? nullptr : value.c_str());
    return (target->*setter)(text.Get());
}

template <typename Interface>
HRESULT Get(Interface* source, HRESULT (STDMETHODCALLTYPE Interface::*getter)(BSTR*), std::wstring& value) {
    Bstr text;
    const HRESULT hr = (source->*getter)(text.Put());
    value = SUCCEEDED(hr) && text.Get() ? std::wstring(text.Get(), SysStringLen(text.Get())) : std::wstring();
    return hr;
}

// Numbers (long, or one of the firewall's enumerations) and flags (VARIANT_BOOL).
template <typename Interface, typename Value, typename Field>
HRESULT Put(Interface* target, HRESULT (STDMETHODCALLTYPE Interface::*setter)(Value), Field value) {
    if constexpr (std::is_same_v<Field, bool>)
        return (target->*setter)(value ? VARIANT_TRUE : VARIANT_FALSE);
    else
        return (target->*setter)(static_cast<Value>(value));
}

template <typename Interface, typename Value, typename Field>
HRESULT Get(Interface* source, HRESULT (STDMETHODCALLTYPE Interface::*getter)(Value*), Field& value) {
    Value got = {};
    const HRESULT hr = (source->*getter)(&got);
    if (SUCCEEDED(hr)) value = static_cast<Field>(got);
    return hr;
}

// The interfaces a rule is limited to: a VARIANT holding an array of names, or nothing for every interface.
HRESULT ReadInterfaces(INetFwRule* source, FirewallRule& rule) {
    std::vector<std::wstring>& names = rule.interfaces;
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

HRESULT WriteInterfaces(INetFwRule* target, const FirewallRule& rule, const FirewallRule&) {
    const std::vector<std::wstring>& names = rule.interfaces;
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

// Edge traversal: allowed or not on every Windows, and the deferred choices too through Windows 7's INetFwRule2.
HRESULT ReadEdgeTraversal(INetFwRule* source, FirewallRule& rule) {
    bool allowed = false;
    const HRESULT hr = Get(source, &INetFwRule::get_EdgeTraversal, allowed);
    if (FAILED(hr)) return hr;
    rule.edgeTraversalOptions = allowed ? kEdgeTraversalAllow : kEdgeTraversalDeny;
    ComPtr<INetFwRule2> rule2;
    if (SUCCEEDED(source->QueryInterface(IID_INetFwRule2, rule2.PutVoid())))
        Get(rule2.Get(), &INetFwRule2::get_EdgeTraversalOptions, rule.edgeTraversalOptions);
    return S_OK;
}

HRESULT WriteEdgeTraversal(INetFwRule* target, const FirewallRule& rule, const FirewallRule&) {
    ComPtr<INetFwRule2> rule2;
    if (FAILED(target->QueryInterface(IID_INetFwRule2, rule2.PutVoid())))
        return Put(target, &INetFwRule::put_EdgeTraversal, rule.edgeTraversalOptions == kEdgeTraversalAllow);
    return Put(rule2.Get(), &INetFwRule2::put_EdgeTraversalOptions, rule.edgeTraversalOptions);
}

// How a property is read and written.
enum PropertyUse {
    kRequired = 0,
    kOptional = 1,        // one that cannot be read keeps its "none" and fails no read
    kWhereDifferent = 2,  // written only where it differs from what the rule holds
};

// One property of a rule, as one interface reads and writes it, and the step of the writes it belongs to.
template <typename Interface>
struct RuleProperty {
    RuleWrite step;
    int use;
    HRESULT (*read)(Interface* source, FirewallRule& rule);
    HRESULT (*write)(Interface* target, const FirewallRule& rule, const FirewallRule& current);
    bool (*same)(const FirewallRule& rule, const FirewallRule& current);
};

template <auto kField>
bool Same(const FirewallRule& rule, const FirewallRule& current) {
    return rule.*kField == current.*kField;
}

template <auto kField, auto kGetter, typename Interface>
HRESULT ReadField(Interface* source, FirewallRule& rule) {
    return Get(source, kGetter, rule.*kField);
}

template <auto kField, auto kSetter, typename Interface>
HRESULT WriteField(Interface* target, const FirewallRule& rule, const FirewallRule&) {
    return Put(target, kSetter, rule.*kField);
}

template <typename Interface, auto kField, auto kGetter, auto kSetter, int kUse = kRequired>
constexpr RuleProperty<Interface> Field(RuleWrite step = RuleWrite::Settings) {
    bool (*same)(const FirewallRule&, const FirewallRule&) = nullptr;
    if constexpr ((kUse & kWhereDifferent) != 0) same = &Same<kField>;
    return {step, kUse, &ReadField<kField, kGetter, Interface>, &WriteField<kField, kSetter, Interface>, same};
}

template <typename Interface, std::size_t kCount>
HRESULT ReadProperties(Interface* source, const RuleProperty<Interface> (&properties)[kCount], FirewallRule& rule) {
    for (const RuleProperty<Interface>& property : properties) {
        const HRESULT hr = property.read(source, rule);
        if (FAILED(hr) && !(property.use & kOptional)) return hr;
    }
    return S_OK;
}

template <typename Interface, std::size_t kCount>
HRESULT WriteProperties(Interface* target, const RuleProperty<Interface> (&properties)[kCount], RuleWrite step,
                        const FirewallRule& rule, const FirewallRule& current) {
    for (const RuleProperty<Interface>& property : properties) {
        if (property.step != step || ((property.use & kWhereDifferent) && property.same(rule, current))) continue;
        const HRESULT hr = property.write(target, rule, current);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

// Windows 8's INetFwRule3. A rule of ours never depends on how a Windows takes "none" for them: they are written
// only where they differ from what the rule holds, and one that cannot be read is then never written either.
using Rule3 = INetFwRule3;
constexpr int kNewer = kOptional | kWhereDifferent;
// SecureFlags before the authorised lists (WriteRule3 clears a list that goes first): Windows checks each property
// as it is set, and the lists of users and machines belong to a rule that allows only secure connections.
const RuleProperty<Rule3> kRule3Properties[] = {
    Field<Rule3, &FirewallRule::secureFlags, &Rule3::get_SecureFlags, &Rule3::put_SecureFlags, kNewer>(),
    Field<Rule3, &FirewallRule::localAppPackageId, &Rule3::get_LocalAppPackageId, &Rule3::put_LocalAppPackageId,
          kNewer>(),
    Field<Rule3, &FirewallRule::localUserOwner, &Rule3::get_LocalUserOwner, &Rule3::put_LocalUserOwner, kNewer>(),
    Field<Rule3, &FirewallRule::localUserAuthorizedList, &Rule3::get_LocalUserAuthorizedList,
          &Rule3::put_LocalUserAuthorizedList, kNewer>(),
    Field<Rule3, &FirewallRule::remoteUserAuthorizedList, &Rule3::get_RemoteUserAuthorizedList,
          &Rule3::put_RemoteUserAuthorizedList, kNewer>(),
    Field<Rule3, &FirewallRule::remoteMachineAuthorizedList, &Rule3::get_RemoteMachineAuthorizedList,
          &Rule3::put_RemoteMachineAuthorizedList, kNewer>(),
};

HRESULT ReadRule3(INetFwRule* source, FirewallRule& rule) {
    ComPtr<INetFwRule3> rule3;
    if (FAILED(source->QueryInterface(IID_INetFwRule3, rule3.PutVoid()))) return S_OK;
    return ReadProperties(rule3.Get(), kRule3Properties, rule);
}

HRESULT WriteRule3(INetFwRule* target, const FirewallRule& rule, const FirewallRule& current) {
    ComPtr<INetFwRule3> rule3;
    if (FAILED(target->QueryInterface(IID_INetFwRule3, rule3.PutVoid()))) return S_OK;
    // A list that goes is cleared before SecureFlags changes, one that comes is set after it, so that no list is
    // ever checked against a rule that no longer, or not yet, requires secure connections.
    FirewallRule emptied = current;
    for (std::wstring FirewallRule::*list :
         {&FirewallRule::localUserAuthorizedList, &FirewallRule::remoteUserAuthorizedList,
          &FirewallRule::remoteMachineAuthorizedList}) {
        if ((rule.*list).empty()) emptied.*list = rule.*list;
    }
    const HRESULT hr = WriteProperties(rule3.Get(), kRule3Properties, RuleWrite::Settings, emptied, current);
    if (FAILED(hr)) return hr;
    return WriteProperties(rule3.Get(), kRule3Properties, RuleWrite::Settings, rule, emptied);
}

// Every property but the name, each step's in the order in which the firewall accepts them one by one (the steps'
// order is RuleWriteOrder's).
using Rule = INetFwRule;
const RuleProperty<Rule> kRuleProperties[] = {
    Field<Rule, &FirewallRule::protocol, &Rule::get_Protocol, &Rule::put_Protocol>(RuleWrite::Protocol),
    Field<Rule, &FirewallRule::localPorts, &Rule::get_LocalPorts, &Rule::put_LocalPorts>(RuleWrite::Ports),
    Field<Rule, &FirewallRule::remotePorts, &Rule::get_RemotePorts, &Rule::put_RemotePorts>(RuleWrite::Ports),
    Field<Rule, &FirewallRule::icmpTypesAndCodes, &Rule::get_IcmpTypesAndCodes, &Rule::put_IcmpTypesAndCodes,
          kOptional>(RuleWrite::IcmpTypes),
    Field<Rule, &FirewallRule::localAddresses, &Rule::get_LocalAddresses, &Rule::put_LocalAddresses>(),
    Field<Rule, &FirewallRule::remoteAddresses, &Rule::get_RemoteAddresses, &Rule::put_RemoteAddresses>(),
    Field<Rule, &FirewallRule::direction, &Rule::get_Direction, &Rule::put_Direction>(),
    Field<Rule, &FirewallRule::action, &Rule::get_Action, &Rule::put_Action>(),
    Field<Rule, &FirewallRule::profiles, &Rule::get_Profiles, &Rule::put_Profiles>(),
    Field<Rule, &FirewallRule::applicationName, &Rule::get_ApplicationName, &Rule::put_ApplicationName>(),
    Field<Rule, &FirewallRule::serviceName, &Rule::get_ServiceName, &Rule::put_ServiceName>(),
    Field<Rule, &FirewallRule::interfaceTypes, &Rule::get_InterfaceTypes, &Rule::put_InterfaceTypes>(),
    {RuleWrite::Settings, kOptional | kWhereDifferent, &ReadInterfaces, &WriteInterfaces,
     &Same<&FirewallRule::interfaces>},
    {RuleWrite::Settings, kRequired, &ReadEdgeTraversal, &WriteEdgeTraversal, nullptr},
    {RuleWrite::Settings, kRequired, &ReadRule3, &WriteRule3, nullptr},
    Field<Rule, &FirewallRule::description, &Rule::get_Description, &Rule::put_Description>(),
    Field<Rule, &FirewallRule::grouping, &Rule::get_Grouping, &Rule::put_Grouping>(),
    // Set every time: a new rule object starts out disabled.
    Field<Rule, &FirewallRule::enabled, &Rule::get_Enabled, &Rule::put_Enabled>(RuleWrite::Enabled),
};

// Every property of `source`, and its name.
HRESULT ReadSettings(INetFwRule* source, FirewallRule& rule) {
    const HRESULT hr = Get(source, &INetFwRule::get_Name, rule.name);
    return FAILED(hr) ? hr : ReadProperties(source, kRuleProperties, rule);
}

// Gives `target` every setting of `rule` but its name, so that a rule edited by hand keeps nothing of its own.
Status ApplySettings(INetFwRule* target, const FirewallRule& rule) {
    FirewallRule current;
    HRESULT hr = ReadSettings(target, current);
    // "*" is any port, and any ICMP type: what a rule that changes protocol first goes back to.
    FirewallRule any;
    any.localPorts = any.remotePorts = any.icmpTypesAndCodes = L"*";
    for (const RuleWrite write : RuleWriteOrder(current.protocol, rule.protocol)) {
        if (FAILED(hr)) break;
        const bool clears = write == RuleWrite::ClearPorts || write == RuleWrite::ClearIcmpTypes;
        const RuleWrite step = write == RuleWrite::ClearPorts       ? RuleWrite::Ports
                               : write == RuleWrite::ClearIcmpTypes ? RuleWrite::IcmpTypes
                                                                    : write;
        hr = WriteProperties(target, kRuleProperties, step, clears ? any : rule, current);
    }
    return StatusFromHresult(hr);
}

class WindowsFirewallPolicy final : public FirewallPolicy {
public:
    explicit WindowsFirewallPolicy(ComPtr<INetFwPolicy2> policy) : policy_(std::move(policy)) {}

    Status LocalPolicyState(FirewallLocalPolicy& state) override {
        HRESULT hr = Get(policy_.Get(), &INetFwPolicy2::get_CurrentProfileTypes, state.currentProfiles);
        // For the profiles that are current: whether rules added here take effect.
        if (SUCCEEDED(hr)) hr = Get(policy_.Get(), &INetFwPolicy2::get_LocalPolicyModifyState, state.modifyState);
        return StatusFromHresult(hr);
    }

    Status FirewallEnabled(int profile, bool& enabled) override {
        // One profile at a time: CurrentProfileTypes may name several.
        VARIANT_BOOL on = VARIANT_TRUE;
        const HRESULT hr = policy_->get_FirewallEnabled(static_cast<NET_FW_PROFILE_TYPE2>(profile), &on);
        if (FAILED(hr)) return FailureFromHresult(hr);
        enabled = on != VARIANT_FALSE;
        return Status::Ok();
    }

    Status AllRules(std::vector<FirewallRule>& found, std::vector<UnreadRule>& unread) override {
        found.clear();
        unread.clear();
        ComPtr<INetFwRules> rules;
        if (Status status = Rules(rules); !status) return status;
        ComPtr<IUnknown> enumerator;
        HRESULT hr = rules->get__NewEnum(enumerator.Put());
        if (FAILED(hr)) return FailureFromHresult(hr);
        ComPtr<IEnumVARIANT> items;
        hr = enumerator->QueryInterface(IID_IEnumVARIANT, items.PutVoid());
        if (FAILED(hr)) return FailureFromHresult(hr);
        for (uint32_t position = 1;; ++position) {
            Variant item;
            ULONG fetched = 0;
            hr = items->Next(1, item.Get(), &fetched);
            if (hr != S_OK || fetched == 0) return StatusFromHresult(hr);
            if (item.Ref().vt != VT_DISPATCH || !item.Ref().pdispVal) continue;
            ComPtr<INetFwRule> rule;
            hr = item.Ref().pdispVal->QueryInterface(IID_INetFwRule, rule.PutVoid());
            FirewallRule settings;
            if (SUCCEEDED(hr)) hr = ReadSettings(rule.Get(), settings);
            // One rule that cannot be read leaves the others to count: it is told, by name where it has one.
            if (FAILED(hr)) {
                std::wstring name;
                if (rule) Get(rule.Get(), &INetFwRule::get_Name, name);
                unread.push_back({name, position, FailureFromHresult(hr)});
                continue;
            }
            found.push_back(std::move(settings));
        }
    }

    Status FindRule(const std::wstring& name, FirewallRule& found, bool& exists) override {
        exists = false;
        ComPtr<INetFwRules> rules;
        if (Status status = Rules(rules); !status) return status;
        const Bstr ruleName(name.c_str());
        ComPtr<INetFwRule> rule;
        HRESULT hr = rules->Item(ruleName.Get(), rule.Put());
        if (hr == kRuleNotFound || (SUCCEEDED(hr) && !rule)) return Status::Ok();
        if (SUCCEEDED(hr)) hr = ReadSettings(rule.Get(), found);
        exists = SUCCEEDED(hr);
        return StatusFromHresult(hr);
    }

    Status EnsureRule(const FirewallRule& rule, bool& added) override {
        added = false;
        ComPtr<INetFwRules> rules;
        if (Status status = Rules(rules); !status) return status;
        const Bstr name(rule.name.c_str());
        ComPtr<INetFwRule> existing;
        HRESULT hr = rules->Item(name.Get(), existing.Put());
        if (FAILED(hr) && hr != kRuleNotFound) return FailureFromHresult(hr);
        if (SUCCEEDED(hr) && existing) return ApplySettings(existing.Get(), rule);

        ComPtr<INetFwRule> created;
        hr = CoCreateInstance(CLSID_NetFwRule, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwRule, created.PutVoid());
        if (SUCCEEDED(hr)) hr = created->put_Name(name.Get());
        if (FAILED(hr)) return FailureFromHresult(hr);
        if (Status status = ApplySettings(created.Get(), rule); !status) return status;
        hr = rules->Add(created.Get());
        added = SUCCEEDED(hr);
        return StatusFromHresult(hr);
    }

    Status RemoveRule(const std::wstring& name) override {
        ComPtr<INetFwRules> rules;
        if (Status status = Rules(rules); !status) return status;
        const Bstr ruleName(name.c_str());
        const HRESULT hr = rules->Remove(ruleName.Get());
        // A rule that is already gone is what the caller wants.
        return StatusFromHresult(hr == kRuleNotFound ? S_OK : hr);
    }

private:
    // The policy's list of rules, which every look-up, addition and removal goes through.
    Status Rules(ComPtr<INetFwRules>& rules) { return StatusFromHresult(policy_->get_Rules(rules.Put())); }

    ComPtr<INetFwPolicy2> policy_;
};

}  // namespace

// The Windows Firewall's policy object ("HNetCfg.FwPolicy2") for one run; its rules are reached through the
// firewall's own rule list, which every Windows since Vista reads.
std::unique_ptr<FirewallPolicy> Win32Platform::CreateFirewallPolicy(Status& status) {
    ComPtr<INetFwPolicy2> policy;
    status = StatusFromHresult(
        CoCreateInstance(CLSID_NetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwPolicy2, policy.PutVoid()));
    if (!status) return nullptr;
    return std::make_unique<WindowsFirewallPolicy>(std::move(policy));
}

}  // namespace korvane
