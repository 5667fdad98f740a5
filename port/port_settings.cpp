#include "port/port_settings.h"

#include "platform/failure_text.h"
#include "port/port_text.h"

namespace korvane {

std::wstring DwordToText(uint32_t value) {
    return std::to_wstring(value);
}

namespace {

Status ReadPortValue(ScriptShell& shell, const std::wstring& path, std::wstring& text) {
    RegValue value;
    Status status = shell.RegRead(path, value);
    if (!status) return status;
    if (value.kind != RegValue::Kind::Number) {
        return Status::Failure(0, L"注册表值 " + path + L" 不是 DWORD 数值。");
    }
    text = DwordToText(value.number);
    return Status::Ok();
}

}  // namespace

CurrentPort ReadCurrentPort(ScriptShell& shell) {
    CurrentPort result;
    result.status = ReadPortValue(shell, kRdpTcpPortPath, result.text);
    if (result.status) return result;
    // Report why the listener's own value failed: that is the one the administrator needs to fix.
    CurrentPort legacy;
    legacy.status = ReadPortValue(shell, kTdsPortPath, legacy.text);
    if (legacy.status) return legacy;
    return result;
}

std::wstring FirewallEntryName(const std::wstring& portText) {
    return portText + L":TCP";
}

std::wstring FirewallEntryData(const std::wstring& portText) {
    return portText + L":TCP:*:Enabled:新的远程连接端口";
}

PortSettingsChange::PortSettingsChange(ScriptShell& shell, const std::wstring& portText) : shell_(shell) {
    settings_.push_back({L"Tds 端口", kTdsPortPath, L"REG_DWORD", portText, false, {}});
    settings_.push_back({L"RDP-Tcp 端口", kRdpTcpPortPath, L"REG_DWORD", portText, false, {}});
    settings_.push_back({L"防火墙例外",
                         kFirewallListPath + FirewallEntryName(portText),
                         L"REG_SZ",
                         FirewallEntryData(portText),
                         false,
                         {}});
}

Status PortSettingsChange::ReadPrevious() {
    for (Setting& setting : settings_) {
        Status status = shell_.RegRead(setting.path, setting.previous);
        setting.existed = static_cast<bool>(status);
        if (!status && status.code != kNotFound) {
            failedStep_ = L"读取" + setting.name + L"原值（" + setting.path + L"）";
            return status;
        }
        if (setting.existed && setting.previous.kind == RegValue::Kind::Other) {
            failedStep_ = L"读取" + setting.name + L"原值（" + setting.path + L"）";
            return Status::Failure(0, L"该值既不是 DWORD 也不是字符串，修改后将无法恢复原值。");
        }
    }
    return Status::Ok();
}

uint32_t PortSettingsChange::PreviousListenerPort() const {
    const Setting& listener = settings_[1];
    if (!listener.existed || listener.previous.kind != RegValue::Kind::Number) return 0;
    return listener.previous.number;
}

Status PortSettingsChange::Write() {
    for (const Setting& setting : settings_) {
        Status status = shell_.RegWrite(setting.path, setting.value, setting.type);
        if (!status) {
            failedStep_ = L"写入" + setting.name + L"（" + setting.path + L"）";
            Undo();
            return status;
        }
        ++written_;
        wroteAnything_ = true;
    }
    return Status::Ok();
}

void PortSettingsChange::Undo() {
    // Last written first, so that the values go back in the reverse order of the change.
    while (written_ > 0) {
        const Setting& setting = settings_[--written_];
        Status status = Restore(setting);
        if (!status) notRestored_.push_back(Describe(setting) + L"，恢复失败：" + DescribeFailure(status));
    }
}

Status PortSettingsChange::Restore(const Setting& setting) {
    if (!setting.existed) return shell_.RegDelete(setting.path);
    if (setting.previous.kind == RegValue::Kind::Text)
        return shell_.RegWrite(setting.path, setting.previous.text, L"REG_SZ");
    // The script shell object takes a DWORD as signed text: values above 2^31-1 go back as negative numbers.
    const int32_t asSigned = static_cast<int32_t>(setting.previous.number);
    return shell_.RegWrite(setting.path, std::to_wstring(asSigned), L"REG_DWORD");
}

std::wstring PortSettingsChange::Describe(const Setting& setting) const {
    std::wstring before = L"不存在";
    if (setting.existed) {
        before = setting.previous.kind == RegValue::Kind::Text ? L"“" + setting.previous.text + L"”"
                                                               : DwordToText(setting.previous.number);
    }
    const std::wstring now = setting.type == L"REG_SZ" ? L"“" + setting.value + L"”" : PortNumberText(setting.value);
    return setting.name + L"（" + setting.path + L"）现为 " + now + L"，原为 " + before;
}

}  // namespace korvane
