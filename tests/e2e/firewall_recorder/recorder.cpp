// A stand-in for the Windows Firewall's automation objects, for the end-to-end tests: an in-process COM
// server registered in the test prefix in place of Wine's HNetCfg.FwPolicy2 and HNetCfg.FWRule, whose own
// objects accept rules and keep nothing. This one keeps every rule it is given in a text file of the
// prefix (rule_file.h), read afresh on every call, so that several runs of the program and the bench see
// the same list. Where Windows is stricter than a plain store it is strict too: a new rule object starts
// disabled with any protocol, local ports are refused unless the protocol is TCP or UDP, rules of the same
// name may exist side by side, and an unknown name is "file not found".
//
// Only what the program uses is implemented; everything else answers E_NOTIMPL.

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
// mingw-w64's libuuid lacks the firewall's class and interface ids: this defines them (as selectany) here.
#include <initguid.h>
#include <netfw.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "rule_file.h"

namespace firewall_recorder {

namespace {

constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
// The firewall's "any protocol" (mingw-w64's icftypes.h names only TCP and UDP).
constexpr LONG kAnyProtocol = 256;
// What the recorder answers when its own file is unreadable or damaged.
constexpr HRESULT kBrokenStore = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

LONG g_liveObjects = 0;
LONG g_serverLocks = 0;

void Report(const std::string& what) {
    OutputDebugStringA(("firewall recorder: " + what + "\n").c_str());
}

// The HRESULT the test asked `operation` to fail with, or S_OK when it did not ask. The marker holds the
// HRESULT in hex, optionally followed by a count N: then only the Nth call from now fails, once.
HRESULT RequestedFailure(const wchar_t* operation) {
    const std::wstring marker = std::wstring(kFailMarkerPrefix) + operation;
    const HANDLE file =
        CreateFileW(marker.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return S_OK;
    char text[32] = {};
    DWORD read = 0;
    ReadFile(file, text, sizeof text - 1, &read, nullptr);
    CloseHandle(file);
    char* rest = nullptr;
    const unsigned long code = std::strtoul(text, &rest, 16);
    const HRESULT failure = code != 0 ? static_cast<HRESULT>(code) : E_ACCESSDENIED;
    const long count = std::strtol(rest, nullptr, 10);
    if (count <= 0) return failure;
    if (count == 1) {
        DeleteFileW(marker.c_str());
        return failure;
    }
    const std::string left = std::string(text, rest - text) + " " + std::to_string(count - 1);
    const HANDLE update =
        CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (update != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(update, left.data(), static_cast<DWORD>(left.size()), &written, nullptr);
        CloseHandle(update);
    }
    return S_OK;
}

HRESULT Load(std::vector<StoredRule>& rules) {
    std::string error;
    if (ReadRuleFile(rules, error)) return S_OK;
    Report(error);
    return kBrokenStore;
}

HRESULT Save(const std::vector<StoredRule>& rules) {
    std::string error;
    if (WriteRuleFile(rules, error)) return S_OK;
    Report(error);
    return kBrokenStore;
}

// The first rule of that name, as INetFwRules::Item finds it; null when there is none.
StoredRule* Find(std::vector<StoredRule>& rules, const std::wstring& name) {
    for (StoredRule& rule : rules) {
        if (rule.name == name) return &rule;
    }
    return nullptr;
}

std::wstring Text(BSTR text) {
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

HRESULT HandOut(const std::wstring& text, BSTR* result) {
    if (!result) return E_POINTER;
    *result = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *result ? S_OK : E_OUTOFMEMORY;
}

bool IsDecimalPort(const std::wstring& text) {
    if (text.empty() || text.size() > 5) return false;
    long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + (c - L'0');
    }
    return value <= 65535;
}

// Local ports as the firewall takes them: "*", or a comma-separated list of ports and ranges "a-b".
bool ArePorts(const std::wstring& ports) {
    if (ports == L"*") return true;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = ports.find(L',', start);
        const std::wstring item = ports.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        const std::size_t dash = item.find(L'-');
        const bool valid = dash == std::wstring::npos
                               ? IsDecimalPort(item)
                               : IsDecimalPort(item.substr(0, dash)) && IsDecimalPort(item.substr(dash + 1));
        if (!valid) return false;
        if (comma == std::wstring::npos) return true;
        start = comma + 1;
    }
}

bool HasPorts(long protocol) {
    return protocol == NET_FW_IP_PROTOCOL_TCP || protocol == NET_FW_IP_PROTOCOL_UDP;
}

// IUnknown and a minimal IDispatch (no type information, no late binding) for an automation interface.
template <typename Interface, const IID& kInterfaceId>
class AutomationObject : public Interface {
public:
    AutomationObject() { InterlockedIncrement(&g_liveObjects); }
    virtual ~AutomationObject() { InterlockedDecrement(&g_liveObjects); }
    AutomationObject(const AutomationObject&) = delete;
    AutomationObject& operator=(const AutomationObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != kInterfaceId) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<Interface*>(this);
        this->AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

private:
    LONG references_ = 1;
};

// One rule. A new rule object holds its settings itself until it is added; a rule handed out by Item is a
// view of the stored rule of that name: it reads the file on every get and rewrites it on every put.
class Rule final : public AutomationObject<INetFwRule, IID_INetFwRule> {
public:
    Rule() = default;
    explicit Rule(std::wstring storedName) : stored_(true), storedName_(std::move(storedName)) {}

    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override {
        return Get([&](const StoredRule& rule) { return HandOut(rule.name, name); });
    }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR name) override {
        const std::wstring newName = Text(name);
        const HRESULT hr = Change([&](StoredRule& rule) {
            rule.name = newName;
            return S_OK;
        });
        if (SUCCEEDED(hr) && stored_) storedName_ = newName;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_Description(BSTR* description) override {
        return Get([&](const StoredRule& rule) { return HandOut(rule.description, description); });
    }
    HRESULT STDMETHODCALLTYPE put_Description(BSTR description) override {
        return Change([&](StoredRule& rule) {
            rule.description = Text(description);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_Grouping(BSTR* grouping) override {
        return Get([&](const StoredRule& rule) { return HandOut(rule.grouping, grouping); });
    }
    HRESULT STDMETHODCALLTYPE put_Grouping(BSTR grouping) override {
        return Change([&](StoredRule& rule) {
            rule.grouping = Text(grouping);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_Protocol(LONG* protocol) override {
        return Get([&](const StoredRule& rule) { return Give(rule.protocol, protocol); });
    }
    HRESULT STDMETHODCALLTYPE put_Protocol(LONG protocol) override {
        return Change([&](StoredRule& rule) {
            if (protocol < 0 || protocol > kAnyProtocol) return E_INVALIDARG;
            rule.protocol = protocol;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_LocalPorts(BSTR* ports) override { return GetText(&StoredRule::localPorts, ports); }
    HRESULT STDMETHODCALLTYPE put_LocalPorts(BSTR ports) override { return PutPorts(&StoredRule::localPorts, ports); }
    HRESULT STDMETHODCALLTYPE get_Direction(NET_FW_RULE_DIRECTION* direction) override {
        return Get([&](const StoredRule& rule) {
            return Give(static_cast<NET_FW_RULE_DIRECTION>(rule.direction), direction);
        });
    }
    HRESULT STDMETHODCALLTYPE put_Direction(NET_FW_RULE_DIRECTION direction) override {
        return Change([&](StoredRule& rule) {
            if (direction != NET_FW_RULE_DIR_IN && direction != NET_FW_RULE_DIR_OUT) return E_INVALIDARG;
            rule.direction = direction;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_Action(NET_FW_ACTION* action) override {
        return Get([&](const StoredRule& rule) { return Give(static_cast<NET_FW_ACTION>(rule.action), action); });
    }
    HRESULT STDMETHODCALLTYPE put_Action(NET_FW_ACTION action) override {
        return Change([&](StoredRule& rule) {
            if (action != NET_FW_ACTION_BLOCK && action != NET_FW_ACTION_ALLOW) return E_INVALIDARG;
            rule.action = action;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_Profiles(LONG* profiles) override {
        return Get([&](const StoredRule& rule) { return Give(rule.profiles, profiles); });
    }
    HRESULT STDMETHODCALLTYPE put_Profiles(LONG profiles) override {
        return Change([&](StoredRule& rule) {
            rule.profiles = profiles;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* enabled) override {
        return GetFlag(&StoredRule::enabled, enabled);
    }
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL enabled) override {
        return PutFlag(&StoredRule::enabled, enabled);
    }

    HRESULT STDMETHODCALLTYPE get_ApplicationName(BSTR* name) override {
        return GetText(&StoredRule::applicationName, name);
    }
    HRESULT STDMETHODCALLTYPE put_ApplicationName(BSTR name) override {
        return PutText(&StoredRule::applicationName, name);
    }
    HRESULT STDMETHODCALLTYPE get_ServiceName(BSTR* name) override { return GetText(&StoredRule::serviceName, name); }
    HRESULT STDMETHODCALLTYPE put_ServiceName(BSTR name) override { return PutText(&StoredRule::serviceName, name); }
    HRESULT STDMETHODCALLTYPE get_RemotePorts(BSTR* ports) override { return GetText(&StoredRule::remotePorts, ports); }
    HRESULT STDMETHODCALLTYPE put_RemotePorts(BSTR ports) override { return PutPorts(&StoredRule::remotePorts, ports); }
    HRESULT STDMETHODCALLTYPE get_LocalAddresses(BSTR* addresses) override {
        return GetText(&StoredRule::localAddresses, addresses);
    }
    HRESULT STDMETHODCALLTYPE put_LocalAddresses(BSTR addresses) override {
        return PutText(&StoredRule::localAddresses, addresses);
    }
    HRESULT STDMETHODCALLTYPE get_RemoteAddresses(BSTR* addresses) override {
        return GetText(&StoredRule::remoteAddresses, addresses);
    }
    HRESULT STDMETHODCALLTYPE put_RemoteAddresses(BSTR addresses) override {
        return PutText(&StoredRule::remoteAddresses, addresses);
    }
    HRESULT STDMETHODCALLTYPE get_IcmpTypesAndCodes(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_IcmpTypesAndCodes(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Interfaces(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Interfaces(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_InterfaceTypes(BSTR* types) override {
        return GetText(&StoredRule::interfaceTypes, types);
    }
    HRESULT STDMETHODCALLTYPE put_InterfaceTypes(BSTR types) override {
        return PutText(&StoredRule::interfaceTypes, types);
    }
    HRESULT STDMETHODCALLTYPE get_EdgeTraversal(VARIANT_BOOL* traversal) override {
        return GetFlag(&StoredRule::edgeTraversal, traversal);
    }
    HRESULT STDMETHODCALLTYPE put_EdgeTraversal(VARIANT_BOOL traversal) override {
        return PutFlag(&StoredRule::edgeTraversal, traversal);
    }

    // A copy of a stored rule, as enumeration hands it out: it reads like the rule and keeps nothing.
    static Rule* Snapshot(const StoredRule& stored) {
        Rule* rule = new Rule();
        rule->unsaved_ = stored;
        return rule;
    }

private:
    template <typename T>
    static HRESULT Give(T value, T* result) {
        if (!result) return E_POINTER;
        *result = value;
        return S_OK;
    }

    HRESULT GetText(std::wstring StoredRule::*member, BSTR* result) {
        return Get([&](const StoredRule& rule) { return HandOut(rule.*member, result); });
    }
    HRESULT PutText(std::wstring StoredRule::*member, BSTR value) {
        const std::wstring text = Text(value);
        return Change([&](StoredRule& rule) {
            rule.*member = text;
            return S_OK;
        });
    }

    HRESULT GetFlag(bool StoredRule::*member, VARIANT_BOOL* result) {
        return Get([&](const StoredRule& rule) {
            return Give(static_cast<VARIANT_BOOL>(rule.*member ? VARIANT_TRUE : VARIANT_FALSE), result);
        });
    }
    HRESULT PutFlag(bool StoredRule::*member, VARIANT_BOOL value) {
        return Change([&](StoredRule& rule) {
            rule.*member = value != VARIANT_FALSE;
            return S_OK;
        });
    }
    HRESULT PutPorts(std::wstring StoredRule::*member, BSTR ports) {
        const std::wstring text = Text(ports);
        return Change([&](StoredRule& rule) {
            // As on Windows: ports belong to TCP and UDP only, so the protocol has to be set first.
            if (!HasPorts(rule.protocol) || !ArePorts(text)) return E_INVALIDARG;
            rule.*member = text;
            return S_OK;
        });
    }

    template <typename Reader>
    HRESULT Get(Reader read) {
        if (!stored_) return read(unsaved_);
        std::vector<StoredRule> rules;
        const HRESULT hr = Load(rules);
        if (FAILED(hr)) return hr;
        const StoredRule* rule = Find(rules, storedName_);
        return rule ? read(*rule) : kNotFound;
    }

    template <typename Changer>
    HRESULT Change(Changer change) {
        if (!stored_) return change(unsaved_);
        HRESULT hr = RequestedFailure(kFailUpdate);
        if (FAILED(hr)) return hr;
        std::vector<StoredRule> rules;
        hr = Load(rules);
        if (FAILED(hr)) return hr;
        StoredRule* rule = Find(rules, storedName_);
        if (!rule) return kNotFound;
        hr = change(*rule);
        if (FAILED(hr)) return hr;
        return Save(rules);
    }

    bool stored_ = false;
    StoredRule unsaved_;       // of a new rule object
    std::wstring storedName_;  // of a stored rule
};

// The rules as they were when the enumeration began, each handed out as a snapshot.
class RuleEnumerator final : public IEnumVARIANT {
public:
    explicit RuleEnumerator(std::vector<StoredRule> rules, std::size_t next = 0)
        : rules_(std::move(rules)), next_(next) {
        InterlockedIncrement(&g_liveObjects);
    }
    ~RuleEnumerator() { InterlockedDecrement(&g_liveObjects); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IEnumVARIANT) return E_NOINTERFACE;
        *object = static_cast<IEnumVARIANT*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* items, ULONG* fetched) override {
        if (!items) return E_POINTER;
        ULONG given = 0;
        for (; given < count && next_ < rules_.size(); ++given, ++next_) {
            VariantInit(&items[given]);
            items[given].vt = VT_DISPATCH;
            items[given].pdispVal = Rule::Snapshot(rules_[next_]);
        }
        if (fetched) *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        next_ += count;
        return next_ <= rules_.size() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override {
        if (!copy) return E_POINTER;
        *copy = new RuleEnumerator(rules_, next_);
        return S_OK;
    }

private:
    LONG references_ = 1;
    std::vector<StoredRule> rules_;
    std::size_t next_;
};

class Rules final : public AutomationObject<INetFwRules, IID_INetFwRules> {
public:
    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
        if (!count) return E_POINTER;
        std::vector<StoredRule> rules;
        const HRESULT hr = Load(rules);
        if (FAILED(hr)) return hr;
        *count = static_cast<LONG>(rules.size());
        return S_OK;
    }

    // Stores what the rule object says of itself, whatever object it is. The object given stays as it
    // was: changing it afterwards changes nothing stored.
    HRESULT STDMETHODCALLTYPE Add(INetFwRule* rule) override {
        if (!rule) return E_POINTER;
        HRESULT hr = RequestedFailure(kFailAdd);
        if (FAILED(hr)) return hr;

        StoredRule added;
        hr = ReadRuleObject(rule, added);
        if (FAILED(hr)) return hr;
        if (added.name.empty()) return E_INVALIDARG;

        std::vector<StoredRule> rules;
        hr = Load(rules);
        if (FAILED(hr)) return hr;
        rules.push_back(std::move(added));
        return Save(rules);
    }

    HRESULT STDMETHODCALLTYPE Remove(BSTR name) override {
        HRESULT hr = RequestedFailure(kFailRemove);
        if (FAILED(hr)) return hr;
        std::vector<StoredRule> rules;
        hr = Load(rules);
        if (FAILED(hr)) return hr;
        const StoredRule* rule = Find(rules, Text(name));
        if (!rule) return kNotFound;
        rules.erase(rules.begin() + (rule - rules.data()));
        return Save(rules);
    }

    HRESULT STDMETHODCALLTYPE Item(BSTR name, INetFwRule** rule) override {
        if (!rule) return E_POINTER;
        *rule = nullptr;
        HRESULT hr = RequestedFailure(kFailItem);
        if (FAILED(hr)) return hr;
        std::vector<StoredRule> rules;
        hr = Load(rules);
        if (FAILED(hr)) return hr;
        const std::wstring wanted = Text(name);
        if (!Find(rules, wanted)) return kNotFound;
        *rule = new Rule(wanted);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** result) override {
        if (!result) return E_POINTER;
        *result = nullptr;
        std::vector<StoredRule> rules;
        const HRESULT hr = Load(rules);
        if (FAILED(hr)) return hr;
        *result = new RuleEnumerator(std::move(rules));
        return S_OK;
    }

private:
    static HRESULT ReadRuleObject(INetFwRule* object, StoredRule& rule) {
        const std::pair<HRESULT (STDMETHODCALLTYPE INetFwRule::*)(BSTR*), std::wstring StoredRule::*> texts[] = {
            {&INetFwRule::get_Name, &StoredRule::name},
            {&INetFwRule::get_Description, &StoredRule::description},
            {&INetFwRule::get_Grouping, &StoredRule::grouping},
            {&INetFwRule::get_LocalPorts, &StoredRule::localPorts},
            {&INetFwRule::get_RemotePorts, &StoredRule::remotePorts},
            {&INetFwRule::get_LocalAddresses, &StoredRule::localAddresses},
            {&INetFwRule::get_RemoteAddresses, &StoredRule::remoteAddresses},
            {&INetFwRule::get_ApplicationName, &StoredRule::applicationName},
            {&INetFwRule::get_ServiceName, &StoredRule::serviceName},
            {&INetFwRule::get_InterfaceTypes, &StoredRule::interfaceTypes},
        };
        for (const auto& text : texts) {
            BSTR value = nullptr;
            const HRESULT hr = (object->*text.first)(&value);
            if (FAILED(hr)) return hr;
            rule.*text.second = TakeText(value);
        }

        LONG number = 0;
        HRESULT hr = object->get_Protocol(&number);
        if (FAILED(hr)) return hr;
        rule.protocol = number;
        hr = object->get_Profiles(&number);
        if (FAILED(hr)) return hr;
        rule.profiles = number;
        NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_IN;
        hr = object->get_Direction(&direction);
        if (FAILED(hr)) return hr;
        rule.direction = direction;
        NET_FW_ACTION action = NET_FW_ACTION_ALLOW;
        hr = object->get_Action(&action);
        if (FAILED(hr)) return hr;
        rule.action = action;
        VARIANT_BOOL flag = VARIANT_FALSE;
        hr = object->get_Enabled(&flag);
        if (FAILED(hr)) return hr;
        rule.enabled = flag != VARIANT_FALSE;
        hr = object->get_EdgeTraversal(&flag);
        if (FAILED(hr)) return hr;
        rule.edgeTraversal = flag != VARIANT_FALSE;
        return S_OK;
    }

    static std::wstring TakeText(BSTR& text) {
        std::wstring taken = Text(text);
        SysFreeString(text);
        text = nullptr;
        return taken;
    }
};

// The two numbers of kLocalPolicyPath: the modify state and the current profiles.
void ReadLocalPolicy(LONG& modifyState, LONG& currentProfiles) {
    modifyState = NET_FW_MODIFY_STATE_OK;
    currentProfiles = NET_FW_PROFILE2_PRIVATE;
    const HANDLE file = CreateFileW(kLocalPolicyPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char text[32] = {};
    DWORD read = 0;
    ReadFile(file, text, sizeof text - 1, &read, nullptr);
    CloseHandle(file);
    char* rest = nullptr;
    modifyState = std::strtol(text, &rest, 10);
    currentProfiles = std::strtol(rest, nullptr, 10);
}

class Policy final : public AutomationObject<INetFwPolicy2, IID_INetFwPolicy2> {
public:
    HRESULT STDMETHODCALLTYPE get_Rules(INetFwRules** rules) override {
        if (!rules) return E_POINTER;
        const HRESULT hr = RequestedFailure(kFailService);
        if (FAILED(hr)) return hr;
        *rules = new Rules();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_CurrentProfileTypes(LONG* profiles) override {
        if (!profiles) return E_POINTER;
        const HRESULT hr = RequestedFailure(kFailService);
        if (FAILED(hr)) return hr;
        LONG modifyState = 0;
        ReadLocalPolicy(modifyState, *profiles);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_FirewallEnabled(NET_FW_PROFILE_TYPE2, VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_FirewallEnabled(NET_FW_PROFILE_TYPE2, VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ExcludedInterfaces(NET_FW_PROFILE_TYPE2, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ExcludedInterfaces(NET_FW_PROFILE_TYPE2, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_BlockAllInboundTraffic(NET_FW_PROFILE_TYPE2, VARIANT_BOOL*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE put_BlockAllInboundTraffic(NET_FW_PROFILE_TYPE2, VARIANT_BOOL) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_NotificationsDisabled(NET_FW_PROFILE_TYPE2, VARIANT_BOOL*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE put_NotificationsDisabled(NET_FW_PROFILE_TYPE2, VARIANT_BOOL) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_UnicastResponsesToMulticastBroadcastDisabled(NET_FW_PROFILE_TYPE2,
                                                                               VARIANT_BOOL*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE put_UnicastResponsesToMulticastBroadcastDisabled(NET_FW_PROFILE_TYPE2,
                                                                               VARIANT_BOOL) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_ServiceRestriction(INetFwServiceRestriction**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnableRuleGroup(LONG, BSTR, VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsRuleGroupEnabled(LONG, BSTR, VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RestoreLocalFirewallDefaults() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_DefaultInboundAction(NET_FW_PROFILE_TYPE2, NET_FW_ACTION*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE put_DefaultInboundAction(NET_FW_PROFILE_TYPE2, NET_FW_ACTION) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_DefaultOutboundAction(NET_FW_PROFILE_TYPE2, NET_FW_ACTION*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE put_DefaultOutboundAction(NET_FW_PROFILE_TYPE2, NET_FW_ACTION) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_IsRuleGroupCurrentlyEnabled(BSTR, VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_LocalPolicyModifyState(NET_FW_MODIFY_STATE* state) override {
        if (!state) return E_POINTER;
        const HRESULT hr = RequestedFailure(kFailService);
        if (FAILED(hr)) return hr;
        LONG modifyState = 0, profiles = 0;
        ReadLocalPolicy(modifyState, profiles);
        *state = static_cast<NET_FW_MODIFY_STATE>(modifyState);
        return S_OK;
    }
};

// One factory per class, living as long as the DLL.
class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(bool policy) : policy_(policy) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (policy_) {
            const HRESULT failure = RequestedFailure(kFailCreate);
            if (FAILED(failure)) return failure;
        }
        IUnknown* created = policy_ ? static_cast<IUnknown*>(new Policy()) : static_cast<IUnknown*>(new Rule());
        const HRESULT hr = created->QueryInterface(iid, object);
        created->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            InterlockedIncrement(&g_serverLocks);
        } else {
            InterlockedDecrement(&g_serverLocks);
        }
        return S_OK;
    }

private:
    bool policy_;
};

ClassFactory g_policyFactory(true);
ClassFactory g_ruleFactory(false);

}  // namespace

}  // namespace firewall_recorder

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    using namespace firewall_recorder;
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid == CLSID_NetFwPolicy2) return g_policyFactory.QueryInterface(iid, object);
    if (clsid == CLSID_NetFwRule) return g_ruleFactory.QueryInterface(iid, object);
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    using namespace firewall_recorder;
    return g_liveObjects == 0 && g_serverLocks == 0 ? S_OK : S_FALSE;
}
