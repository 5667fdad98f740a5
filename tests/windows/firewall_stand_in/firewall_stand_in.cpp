// A stand-in for the Windows Firewall's automation objects: an in-process COM server that the test prefix
// registers in place of Wine's HNetCfg.FwPolicy2 and HNetCfg.FWRule, which accept rules and keep nothing.
// It keeps every rule in a file of the prefix (stand_in_files.h), read afresh on every call, so that the
// program and the tests see the same list; a test can make one call fail and set the local policy.
//
// Only what the program calls is served: the policy's rule list, current profiles, local policy state and
// whether the firewall is on for a profile; the list's Item, Add, Remove and enumeration; every property of
// INetFwRule. Like Windows it refuses ports on a rule whose protocol has none. Everything else answers E_NOTIMPL,
// INetFwRule2 and INetFwRule3 are not offered, as on a Windows that lacks them.
//
// The objects are written against the C form of the interfaces: each vtable starts with every slot
// answering E_NOTIMPL (safe in the x64 calling convention, where the caller removes the arguments), and
// the slots served are filled in by name.
#define CINTERFACE
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
// mingw-w64's libuuid lacks the firewall's class and interface ids: this defines them here.
#include <initguid.h>
#include <netfw.h>

#include <string>
#include <vector>

#include "tests/windows/firewall_stand_in/stand_in_files.h"

using korvane::FirewallRule;

namespace {

LONG g_objects = 0;

HRESULT STDMETHODCALLTYPE NotImplemented() {
    return E_NOTIMPL;
}

template <typename Vtbl>
Vtbl AllNotImplemented() {
    Vtbl vtbl;
    void** slots = reinterpret_cast<void**>(&vtbl);
    for (std::size_t i = 0; i < sizeof vtbl / sizeof(void*); ++i) slots[i] = reinterpret_cast<void*>(&NotImplemented);
    return vtbl;
}

// IUnknown for an object whose first member is its interface and whose second its reference count.
template <typename Object, const IID& kIid>
struct Unknown {
    template <typename Interface>
    static HRESULT STDMETHODCALLTYPE QueryInterface(Interface* self, REFIID iid, void** result) {
        if (!result) return E_POINTER;
        *result = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != kIid) return E_NOINTERFACE;
        *result = self;
        AddRef(self);
        return S_OK;
    }
    template <typename Interface>
    static ULONG STDMETHODCALLTYPE AddRef(Interface* self) {
        return static_cast<ULONG>(InterlockedIncrement(&reinterpret_cast<Object*>(self)->references));
    }
    template <typename Interface>
    static ULONG STDMETHODCALLTYPE Release(Interface* self) {
        const LONG left = InterlockedDecrement(&reinterpret_cast<Object*>(self)->references);
        if (left == 0) delete reinterpret_cast<Object*>(self);
        return static_cast<ULONG>(left);
    }
};

template <typename Vtbl, typename Object, const IID& kIid>
void FillUnknown(Vtbl& vtbl) {
    vtbl.QueryInterface = &Unknown<Object, kIid>::QueryInterface;
    vtbl.AddRef = &Unknown<Object, kIid>::AddRef;
    vtbl.Release = &Unknown<Object, kIid>::Release;
}

HRESULT HandOut(const std::wstring& text, BSTR* result) {
    if (!result) return E_POINTER;
    *result = text.empty() ? nullptr : SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return text.empty() || *result ? S_OK : E_OUTOFMEMORY;
}

FirewallRule* Find(std::vector<FirewallRule>& rules, const std::wstring& name) {
    for (FirewallRule& rule : rules) {
        if (rule.name == name) return &rule;
    }
    return nullptr;
}

// One rule: a new object keeps its settings itself until it is added; one handed out by Item is a view of the
// stored rule of its name, read on every get and rewritten on every put.
struct Rule {
    INetFwRule iface;
    LONG references = 1;
    bool stored = false;
    std::wstring storedName;
    FirewallRule unsaved = stand_in::NewRuleObject();

    Rule();
    ~Rule() { InterlockedDecrement(&g_objects); }

    template <typename Reader>
    HRESULT Get(Reader read) {
        if (!stored) return read(unsaved);
        std::vector<FirewallRule> rules;
        if (!stand_in::ReadRules(rules)) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        const FirewallRule* rule = Find(rules, storedName);
        return rule ? read(*rule) : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    template <typename Changer>
    HRESULT Change(Changer change) {
        if (!stored) return change(unsaved);
        if (const uint32_t failure = stand_in::TakeFailure("update")) return static_cast<HRESULT>(failure);
        std::vector<FirewallRule> rules;
        if (!stand_in::ReadRules(rules)) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        FirewallRule* rule = Find(rules, storedName);
        if (!rule) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        const HRESULT hr = change(*rule);
        if (FAILED(hr)) return hr;
        return stand_in::WriteRules(rules) ? S_OK : HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
    }
};

Rule* Self(INetFwRule* self) {
    return reinterpret_cast<Rule*>(self);
}

template <std::wstring FirewallRule::*kField>
HRESULT STDMETHODCALLTYPE GetText(INetFwRule* self, BSTR* result) {
    return Self(self)->Get([&](const FirewallRule& rule) { return HandOut(rule.*kField, result); });
}

template <std::wstring FirewallRule::*kField>
HRESULT STDMETHODCALLTYPE PutText(INetFwRule* self, BSTR value) {
    const std::wstring text = value ? value : L"";
    return Self(self)->Change([&](FirewallRule& rule) {
        // As on Windows: ports only on a rule whose protocol has them, so the protocol comes first.
        const bool ports = kField == &FirewallRule::localPorts || kField == &FirewallRule::remotePorts;
        if (ports && rule.protocol != NET_FW_IP_PROTOCOL_TCP && rule.protocol != NET_FW_IP_PROTOCOL_UDP)
            return E_INVALIDARG;
        rule.*kField = text;
        return S_OK;
    });
}

template <int FirewallRule::*kField, typename Value>
HRESULT STDMETHODCALLTYPE GetNumber(INetFwRule* self, Value* result) {
    return Self(self)->Get([&](const FirewallRule& rule) {
        if (!result) return E_POINTER;
        *result = static_cast<Value>(rule.*kField);
        return S_OK;
    });
}

template <int FirewallRule::*kField, typename Value>
HRESULT STDMETHODCALLTYPE PutNumber(INetFwRule* self, Value value) {
    return Self(self)->Change([&](FirewallRule& rule) {
        rule.*kField = static_cast<int>(value);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE GetEnabled(INetFwRule* self, VARIANT_BOOL* result) {
    return Self(self)->Get([&](const FirewallRule& rule) {
        *result = rule.enabled ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE PutEnabled(INetFwRule* self, VARIANT_BOOL value) {
    return Self(self)->Change([&](FirewallRule& rule) {
        rule.enabled = value != VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE GetEdgeTraversal(INetFwRule* self, VARIANT_BOOL* result) {
    return Self(self)->Get([&](const FirewallRule& rule) {
        *result = rule.edgeTraversalOptions == 1 ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE PutEdgeTraversal(INetFwRule* self, VARIANT_BOOL value) {
    return Self(self)->Change([&](FirewallRule& rule) {
        rule.edgeTraversalOptions = value != VARIANT_FALSE ? 1 : 0;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE PutName(INetFwRule* self, BSTR value) {
    const HRESULT hr = PutText<&FirewallRule::name>(self, value);
    if (SUCCEEDED(hr) && Self(self)->stored) Self(self)->storedName = value ? value : L"";
    return hr;
}

const INetFwRuleVtbl kRuleVtbl = [] {
    auto v = AllNotImplemented<INetFwRuleVtbl>();
    FillUnknown<INetFwRuleVtbl, Rule, IID_INetFwRule>(v);
    v.get_Name = &GetText<&FirewallRule::name>;
    v.put_Name = &PutName;
    v.get_Description = &GetText<&FirewallRule::description>;
    v.put_Description = &PutText<&FirewallRule::description>;
    v.get_ApplicationName = &GetText<&FirewallRule::applicationName>;
    v.put_ApplicationName = &PutText<&FirewallRule::applicationName>;
    v.get_ServiceName = &GetText<&FirewallRule::serviceName>;
    v.put_ServiceName = &PutText<&FirewallRule::serviceName>;
    v.get_Protocol = &GetNumber<&FirewallRule::protocol, LONG>;
    v.put_Protocol = &PutNumber<&FirewallRule::protocol, LONG>;
    v.get_LocalPorts = &GetText<&FirewallRule::localPorts>;
    v.put_LocalPorts = &PutText<&FirewallRule::localPorts>;
    v.get_RemotePorts = &GetText<&FirewallRule::remotePorts>;
    v.put_RemotePorts = &PutText<&FirewallRule::remotePorts>;
    v.get_LocalAddresses = &GetText<&FirewallRule::localAddresses>;
    v.put_LocalAddresses = &PutText<&FirewallRule::localAddresses>;
    v.get_RemoteAddresses = &GetText<&FirewallRule::remoteAddresses>;
    v.put_RemoteAddresses = &PutText<&FirewallRule::remoteAddresses>;
    v.get_Direction = &GetNumber<&FirewallRule::direction, NET_FW_RULE_DIRECTION>;
    v.put_Direction = &PutNumber<&FirewallRule::direction, NET_FW_RULE_DIRECTION>;
    v.get_InterfaceTypes = &GetText<&FirewallRule::interfaceTypes>;
    v.put_InterfaceTypes = &PutText<&FirewallRule::interfaceTypes>;
    v.get_Enabled = &GetEnabled;
    v.put_Enabled = &PutEnabled;
    v.get_Grouping = &GetText<&FirewallRule::grouping>;
    v.put_Grouping = &PutText<&FirewallRule::grouping>;
    v.get_Profiles = &GetNumber<&FirewallRule::profiles, LONG>;
    v.put_Profiles = &PutNumber<&FirewallRule::profiles, LONG>;
    v.get_EdgeTraversal = &GetEdgeTraversal;
    v.put_EdgeTraversal = &PutEdgeTraversal;
    v.get_Action = &GetNumber<&FirewallRule::action, NET_FW_ACTION>;
    v.put_Action = &PutNumber<&FirewallRule::action, NET_FW_ACTION>;
    return v;
}();

Rule::Rule() {
    iface.lpVtbl = const_cast<INetFwRuleVtbl*>(&kRuleVtbl);
    InterlockedIncrement(&g_objects);
}

// The rules as they were when the enumeration began, each handed out as a new object holding a copy.
struct Enumerator {
    IEnumVARIANT iface;
    LONG references = 1;
    std::vector<FirewallRule> rules;
    std::size_t next = 0;

    Enumerator();
    ~Enumerator() { InterlockedDecrement(&g_objects); }
};

HRESULT STDMETHODCALLTYPE EnumNext(IEnumVARIANT* self, ULONG count, VARIANT* items, ULONG* fetched) {
    auto* enumerator = reinterpret_cast<Enumerator*>(self);
    ULONG given = 0;
    for (; given < count && enumerator->next < enumerator->rules.size(); ++given) {
        Rule* rule = new Rule();
        rule->unsaved = enumerator->rules[enumerator->next++];
        VariantInit(&items[given]);
        items[given].vt = VT_DISPATCH;
        items[given].pdispVal = reinterpret_cast<IDispatch*>(&rule->iface);
    }
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE EnumReset(IEnumVARIANT* self) {
    reinterpret_cast<Enumerator*>(self)->next = 0;
    return S_OK;
}

const IEnumVARIANTVtbl kEnumeratorVtbl = [] {
    auto v = AllNotImplemented<IEnumVARIANTVtbl>();
    FillUnknown<IEnumVARIANTVtbl, Enumerator, IID_IEnumVARIANT>(v);
    v.Next = &EnumNext;
    v.Reset = &EnumReset;
    return v;
}();

Enumerator::Enumerator() {
    iface.lpVtbl = const_cast<IEnumVARIANTVtbl*>(&kEnumeratorVtbl);
    InterlockedIncrement(&g_objects);
}

struct Rules {
    INetFwRules iface;
    LONG references = 1;

    Rules();
    ~Rules() { InterlockedDecrement(&g_objects); }
};

HRESULT STDMETHODCALLTYPE RulesItem(INetFwRules*, BSTR name, INetFwRule** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (const uint32_t failure = stand_in::TakeFailure("item")) return static_cast<HRESULT>(failure);
    std::vector<FirewallRule> rules;
    if (!stand_in::ReadRules(rules)) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    const std::wstring wanted = name ? name : L"";
    if (!Find(rules, wanted)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    Rule* rule = new Rule();
    rule->stored = true;
    rule->storedName = wanted;
    *result = &rule->iface;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE RulesAdd(INetFwRules*, INetFwRule* added) {
    if (!added) return E_POINTER;
    if (const uint32_t failure = stand_in::TakeFailure("add")) return static_cast<HRESULT>(failure);
    FirewallRule rule;
    const HRESULT hr = Self(added)->Get([&](const FirewallRule& settings) {
        rule = settings;
        return S_OK;
    });
    std::vector<FirewallRule> rules;
    if (FAILED(hr) || !stand_in::ReadRules(rules)) return FAILED(hr) ? hr : HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    rules.push_back(rule);
    return stand_in::WriteRules(rules) ? S_OK : HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
}

HRESULT STDMETHODCALLTYPE RulesRemove(INetFwRules*, BSTR name) {
    if (const uint32_t failure = stand_in::TakeFailure("remove")) return static_cast<HRESULT>(failure);
    std::vector<FirewallRule> rules;
    if (!stand_in::ReadRules(rules)) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    const std::wstring removed = name ? name : L"";
    for (auto it = rules.begin(); it != rules.end(); ++it) {
        if (it->name != removed) continue;
        rules.erase(it);
        return stand_in::WriteRules(rules) ? S_OK : HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
    }
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}

HRESULT STDMETHODCALLTYPE RulesNewEnum(INetFwRules*, IUnknown** result) {
    if (!result) return E_POINTER;
    auto* enumerator = new Enumerator();
    if (!stand_in::ReadRules(enumerator->rules)) {
        delete enumerator;
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    }
    *result = reinterpret_cast<IUnknown*>(&enumerator->iface);
    return S_OK;
}

const INetFwRulesVtbl kRulesVtbl = [] {
    auto v = AllNotImplemented<INetFwRulesVtbl>();
    FillUnknown<INetFwRulesVtbl, Rules, IID_INetFwRules>(v);
    v.Item = &RulesItem;
    v.Add = &RulesAdd;
    v.Remove = &RulesRemove;
    v.get__NewEnum = &RulesNewEnum;
    return v;
}();

Rules::Rules() {
    iface.lpVtbl = const_cast<INetFwRulesVtbl*>(&kRulesVtbl);
    InterlockedIncrement(&g_objects);
}

struct Policy {
    INetFwPolicy2 iface;
    LONG references = 1;

    Policy();
    ~Policy() { InterlockedDecrement(&g_objects); }
};

HRESULT STDMETHODCALLTYPE PolicyRules(INetFwPolicy2*, INetFwRules** result) {
    if (const uint32_t failure = stand_in::TakeFailure("policy")) return static_cast<HRESULT>(failure);
    if (!result) return E_POINTER;
    *result = &(new Rules())->iface;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PolicyCurrentProfiles(INetFwPolicy2*, LONG* profiles) {
    if (const uint32_t failure = stand_in::TakeFailure("policy")) return static_cast<HRESULT>(failure);
    int modifyState = 0, current = 0, enabled = 0;
    stand_in::ReadLocalPolicy(modifyState, current, enabled);
    *profiles = current;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PolicyModifyState(INetFwPolicy2*, NET_FW_MODIFY_STATE* state) {
    if (const uint32_t failure = stand_in::TakeFailure("policy")) return static_cast<HRESULT>(failure);
    int modifyState = 0, current = 0, enabled = 0;
    stand_in::ReadLocalPolicy(modifyState, current, enabled);
    *state = static_cast<NET_FW_MODIFY_STATE>(modifyState);
    return S_OK;
}

// As Windows: one profile at a time.
HRESULT STDMETHODCALLTYPE PolicyFirewallEnabled(INetFwPolicy2*, NET_FW_PROFILE_TYPE2 profile, VARIANT_BOOL* on) {
    if (const uint32_t failure = stand_in::TakeFailure("policy")) return static_cast<HRESULT>(failure);
    if (!on) return E_POINTER;
    if (profile != NET_FW_PROFILE2_DOMAIN && profile != NET_FW_PROFILE2_PRIVATE && profile != NET_FW_PROFILE2_PUBLIC)
        return E_INVALIDARG;
    int modifyState = 0, current = 0, enabled = 0;
    stand_in::ReadLocalPolicy(modifyState, current, enabled);
    *on = (enabled & profile) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

const INetFwPolicy2Vtbl kPolicyVtbl = [] {
    auto v = AllNotImplemented<INetFwPolicy2Vtbl>();
    FillUnknown<INetFwPolicy2Vtbl, Policy, IID_INetFwPolicy2>(v);
    v.get_Rules = &PolicyRules;
    v.get_CurrentProfileTypes = &PolicyCurrentProfiles;
    v.get_LocalPolicyModifyState = &PolicyModifyState;
    v.get_FirewallEnabled = &PolicyFirewallEnabled;
    return v;
}();

Policy::Policy() {
    iface.lpVtbl = const_cast<INetFwPolicy2Vtbl*>(&kPolicyVtbl);
    InterlockedIncrement(&g_objects);
}

// One class factory per class, never released.
struct Factory {
    IClassFactory iface;
    bool policy;
};

HRESULT STDMETHODCALLTYPE FactoryQueryInterface(IClassFactory* self, REFIID iid, void** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *result = self;
    return S_OK;
}

ULONG STDMETHODCALLTYPE FactoryAddRef(IClassFactory*) {
    return 2;
}

ULONG STDMETHODCALLTYPE FactoryRelease(IClassFactory*) {
    return 1;
}

HRESULT STDMETHODCALLTYPE FactoryCreate(IClassFactory* self, IUnknown* outer, REFIID iid, void** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    IUnknown* object = nullptr;
    if (reinterpret_cast<Factory*>(self)->policy) {
        if (const uint32_t failure = stand_in::TakeFailure("create")) return static_cast<HRESULT>(failure);
        object = reinterpret_cast<IUnknown*>(&(new Policy())->iface);
    } else {
        object = reinterpret_cast<IUnknown*>(&(new Rule())->iface);
    }
    const HRESULT hr = object->lpVtbl->QueryInterface(object, iid, result);
    object->lpVtbl->Release(object);
    return hr;
}

HRESULT STDMETHODCALLTYPE FactoryLock(IClassFactory*, BOOL) {
    return S_OK;
}

const IClassFactoryVtbl kFactoryVtbl = {&FactoryQueryInterface, &FactoryAddRef, &FactoryRelease, &FactoryCreate,
                                        &FactoryLock};
Factory g_policyFactory = {{const_cast<IClassFactoryVtbl*>(&kFactoryVtbl)}, true};
Factory g_ruleFactory = {{const_cast<IClassFactoryVtbl*>(&kFactoryVtbl)}, false};

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** result) {
    Factory* factory = clsid == CLSID_NetFwPolicy2 ? &g_policyFactory
                       : clsid == CLSID_NetFwRule  ? &g_ruleFactory
                                                   : nullptr;
    if (!factory) return CLASS_E_CLASSNOTAVAILABLE;
    return FactoryQueryInterface(&factory->iface, iid, result);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return g_objects == 0 ? S_OK : S_FALSE;
}

// rundll32 firewall_stand_in.dll,SeedOrdinaryMachine: the firewall of an ordinary machine, for the demo
// opened on a real display (scripts/run.sh).
extern "C" void CALLBACK SeedOrdinaryMachine(HWND, HINSTANCE, LPSTR, int) {
    stand_in::ResetToOrdinaryMachine();
}
