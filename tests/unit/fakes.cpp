#include "tests/unit/fakes.h"

#include <cmath>
#include <cstdlib>
#include <cwctype>

namespace korvane::testing {

StoredValue Dword(uint32_t number) {
    return {L"REG_DWORD", number, L""};
}

StoredValue Sz(const std::wstring& text) {
    return {L"REG_SZ", 0, text};
}

namespace {

Status Denied() {
    return Status::Failure(kAccessDenied, L"拒绝访问。");
}

// The script shell object turns the text of a REG_DWORD write into a 32-bit number the way automation
// converts text: spaces around it are allowed, so are a sign and a fraction (rounded half to even);
// anything else fails, and so does a value above 2^31-1. Negative values wrap around.
Status TextToDword(const std::wstring& text, uint32_t& number) {
    std::size_t begin = text.find_first_not_of(L' ');
    std::size_t end = text.find_last_not_of(L' ');
    if (begin == std::wstring::npos) return Status::Failure(kTypeMismatch, L"类型不匹配。");
    const std::wstring trimmed = text.substr(begin, end - begin + 1);
    for (wchar_t c : trimmed) {
        if (!(c >= L'0' && c <= L'9') && c != L'.' && c != L'-' && c != L'+') {
            return Status::Failure(kTypeMismatch, L"类型不匹配。");
        }
    }
    wchar_t* stop = nullptr;
    const double value = std::wcstod(trimmed.c_str(), &stop);
    if (stop != trimmed.c_str() + trimmed.size()) return Status::Failure(kTypeMismatch, L"类型不匹配。");
    const double rounded = std::nearbyint(value);
    if (rounded > 2147483647.0 || rounded < -2147483648.0) return Status::Failure(kOverflow, L"溢出。");
    number = static_cast<uint32_t>(static_cast<int32_t>(rounded));
    return Status::Ok();
}

class FakeShell final : public ScriptShell {
public:
    explicit FakeShell(FakeWorld& world) : world_(world) { ++world_.shellsAlive; }
    ~FakeShell() override { --world_.shellsAlive; }

    Status RegRead(const std::wstring& path, RegValue& value) override {
        world_.calls.push_back(L"regread " + path);
        if (world_.failing.count(L"regread " + path)) return Denied();
        auto it = world_.registry.find(path);
        if (it == world_.registry.end()) return Status::Failure(kNotFound, L"系统找不到指定的文件。");
        value = RegValue();
        if (it->second.type == L"REG_DWORD") {
            value.kind = RegValue::Kind::Number;
            value.number = it->second.number;
        } else {
            value.kind = RegValue::Kind::Text;
            value.text = it->second.text;
        }
        return Status::Ok();
    }

    Status RegWrite(const std::wstring& path, const std::wstring& value, const std::wstring& type) override {
        world_.calls.push_back(L"regwrite " + path + L"=" + value + L" " + type);
        if (world_.failing.count(L"regwrite " + path)) return Denied();
        if (type == L"REG_DWORD") {
            uint32_t number = 0;
            Status status = TextToDword(value, number);
            if (!status) return status;
            world_.registry[path] = Dword(number);
        } else if (type == L"REG_SZ") {
            world_.registry[path] = Sz(value);
        } else {
            return Status::Failure(0x80070057u, L"参数错误。");
        }
        return Status::Ok();
    }

    Status RegDelete(const std::wstring& path) override {
        world_.calls.push_back(L"regdelete " + path);
        if (world_.failing.count(L"regdelete " + path)) return Denied();
        if (world_.registry.erase(path) == 0) return Status::Failure(kNotFound, L"系统找不到指定的文件。");
        return Status::Ok();
    }

private:
    FakeWorld& world_;
};

class FakeFirewall final : public FirewallPolicy {
public:
    explicit FakeFirewall(FakeWorld& world) : world_(world) {}

    Status LocalPolicyState(FirewallLocalPolicy& state) override {
        world_.calls.push_back(L"firewall state");
        if (world_.serviceDownCode) return Status::Failure(world_.serviceDownCode, L"服务不可用。");
        if (world_.localPolicyFailure) return Status::Failure(world_.localPolicyFailure, L"未实现。");
        state = world_.localPolicy;
        return Status::Ok();
    }

    Status FirewallEnabled(int profile, bool& enabled) override {
        world_.calls.push_back(L"firewall enabled " + std::to_wstring(profile));
        if (world_.failFirewallEnabled) return Status::Failure(0x80004001u, L"未实现。");
        enabled = !(world_.firewallOffProfiles & profile);
        return Status::Ok();
    }

    Status AllRules(std::vector<FirewallRule>& rules, std::vector<UnreadRule>& unread) override {
        world_.calls.push_back(L"read rules");
        rules.clear();
        unread.clear();
        if (world_.failReadRules) return Denied();
        std::vector<FirewallRule> listed = world_.windowsRules;
        for (const auto& named : world_.rules) listed.push_back(named.second);
        for (const FirewallRule& rule : listed) {
            if (world_.unreadableRules.count(rule.name)) {
                unread.push_back({rule.name, static_cast<uint32_t>(rules.size() + unread.size() + 1), Denied()});
            } else {
                rules.push_back(rule);
            }
        }
        return Status::Ok();
    }

    Status FindRule(const std::wstring& name, FirewallRule& rule, bool& found) override {
        world_.calls.push_back(L"find rule " + name);
        if (world_.failFindRule) return Denied();
        auto it = world_.rules.find(name);
        found = it != world_.rules.end();
        if (found) rule = it->second;
        return Status::Ok();
    }

    Status EnsureRule(const FirewallRule& rule, bool& added) override {
        world_.calls.push_back(L"ensure rule " + rule.name);
        if (world_.serviceDownCode) return Status::Failure(world_.serviceDownCode, L"服务不可用。");
        if (world_.failEnsureRule) return Denied();
        added = world_.rules.count(rule.name) == 0;
        if (world_.failEnsureRuleNamed.count(rule.name)) {
            // As the real object does, property by property: an existing rule is left half rewritten.
            if (!added) {
                world_.rules[rule.name].protocol = rule.protocol;
                world_.rules[rule.name].localPorts = rule.localPorts;
            }
            added = false;
            return Denied();
        }
        world_.rules[rule.name] = rule;
        return Status::Ok();
    }

    Status RemoveRule(const std::wstring& name) override {
        world_.calls.push_back(L"remove rule " + name);
        if (world_.failRemoveRule) return Denied();
        world_.rules.erase(name);
        return Status::Ok();
    }

private:
    FakeWorld& world_;
};

}  // namespace

std::unique_ptr<FirewallPolicy> FakePlatform::CreateFirewallPolicy(Status& status) {
    world_.calls.push_back(L"create firewall");
    if (world_.failFirewallCreation) {
        status = Status::Failure(world_.firewallCreationCode, L"没有注册类");
        return nullptr;
    }
    status = Status::Ok();
    return std::make_unique<FakeFirewall>(world_);
}

std::unique_ptr<ScriptShell> FakePlatform::CreateScriptShell(Status& status) {
    world_.calls.push_back(L"create shell");
    if (world_.failShellCreation) {
        status = Status::Failure(world_.shellCreationCode,
                                 world_.shellCreationCode == 0x800401F3u ? L"无效的类字符串" : L"拒绝访问。");
        return nullptr;
    }
    ++world_.shellsCreated;
    status = Status::Ok();
    return std::make_unique<FakeShell>(world_);
}

int FakePlatform::ShowMessage(const std::wstring& prompt, int style, const std::wstring& title) {
    world_.calls.push_back(L"message " + title);
    world_.messages.push_back({prompt, style, title});
    if (world_.answers.empty()) return 1;
    const int answer = world_.answers.front();
    world_.answers.erase(world_.answers.begin());
    return answer;
}

void FakeWorld::Listen(uint16_t port, uint32_t processId, const std::wstring& image, const std::wstring& owner) {
    boundPorts[port] = PortBind::InUse;
    listeners.push_back({port, processId, owner});
    if (!image.empty()) processImages[processId] = image;
}

void FakeWorld::ListenAsRemoteDesktop(uint16_t port) {
    serviceProcesses[kRemoteDesktopService] = 1088;
    Listen(port, 1088, L"svchost.exe", kRemoteDesktopService);
}

Status FakePlatform::TryExclusiveBind(uint16_t port, PortBind& result) {
    world_.calls.push_back(L"check port " + std::to_wstring(port));
    if (world_.failPortCheck) return Status::Failure(0x8007273Fu, L"不支持的地址族。");
    auto bound = world_.boundPorts.find(port);
    result = bound == world_.boundPorts.end() ? PortBind::Free : bound->second;
    return Status::Ok();
}

Status FakePlatform::ListTcpListeners(std::vector<TcpListener>& listeners) {
    world_.calls.push_back(L"list listeners");
    if (world_.failListeners) return Denied();
    listeners = world_.listeners;
    return Status::Ok();
}

Status FakePlatform::TcpDynamicPortRange(uint32_t, DynamicPortRange& range) {
    if (!world_.dynamicRange) return Status::Failure(0x80041010u, L"类无效。");
    range = *world_.dynamicRange;
    return Status::Ok();
}

Status FakePlatform::ServiceProcess(const std::wstring& service, uint32_t& processId) {
    auto running = world_.serviceProcesses.find(service);
    processId = running == world_.serviceProcesses.end() ? 0 : running->second;
    return Status::Ok();
}

Status FakePlatform::ServiceStartType(const std::wstring& service, uint32_t& startType) {
    auto known = world_.serviceStartTypes.find(service);
    if (known == world_.serviceStartTypes.end()) return Status::Failure(0x80070424u, L"指定的服务未安装。");
    startType = known->second;
    return Status::Ok();
}

Status FakePlatform::RegistryStrings(const std::wstring& key, std::vector<RegString>& values) {
    values.clear();
    if (world_.failing.count(L"regstrings " + key)) return Status::Failure(kAccessDenied, L"拒绝访问。");
    const std::wstring prefix = key + L"\\";
    for (const auto& [path, value] : world_.registry) {
        if (path.compare(0, prefix.size(), prefix) != 0 || path.find(L'\\', prefix.size()) != std::wstring::npos)
            continue;
        if (value.type == L"REG_SZ") values.push_back({path.substr(prefix.size()), value.text});
    }
    return Status::Ok();
}

Status FakePlatform::InterfaceName(const std::wstring& guid, std::wstring& name) {
    auto known = world_.interfaceNames.find(guid);
    if (known == world_.interfaceNames.end()) return Status::Failure(0x80070057u, L"参数错误。");
    name = known->second;
    return Status::Ok();
}

std::wstring FakePlatform::DisplayText(const std::wstring& text) {
    auto resolved = world_.displayTexts.find(text);
    return resolved == world_.displayTexts.end() ? text : resolved->second;
}

std::wstring FakePlatform::ProcessImageName(uint32_t processId) {
    auto image = world_.processImages.find(processId);
    return image == world_.processImages.end() ? std::wstring() : image->second;
}

Status FakePlatform::StartProgram(const std::wstring& program, const std::wstring& arguments, int windowStyle,
                                  uint32_t waitMilliseconds, ProgramExit& exit) {
    world_.calls.push_back(L"start " + program + L" " + arguments);
    if (world_.failStart) return Status::Failure(0x80070002u, L"系统找不到指定的文件。");
    world_.started.push_back({program, arguments, windowStyle, waitMilliseconds});
    const std::map<uint32_t, std::wstring> texts = {
        {5, L"拒绝访问。"}, {1115, L"系统关机正在进行。"}, {1190, L"已计划关闭系统。"}};
    exit = {};
    if (!world_.startExitCode) return Status::Ok();
    exit.ended = true;
    exit.code = *world_.startExitCode;
    if (texts.count(exit.code)) exit.codeText = texts.at(exit.code);
    return Status::Ok();
}

}  // namespace korvane::testing
