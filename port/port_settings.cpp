#include "port/port_settings.h"

#include "platform/failure_text.h"
#include "platform/number_text.h"
#include "port/port_number.h"
#include "port/sentences.h"

namespace korvane {

namespace {

Status ReadPortValue(ScriptShell& shell, const std::wstring& path, uint32_t& number) {
    RegValue value;
    Status status = shell.RegRead(path, value);
    if (!status) return status;
    if (value.kind != RegValue::Kind::Number) return Status::Failure(0, Say(words::kNotADword, {{L"path", path}}));
    number = value.number;
    return Status::Ok();
}

// One registry value of the change: written as given, put back as found.
class RegistryWrite final : public UndoableStep {
public:
    RegistryWrite(ScriptShell& shell, std::wstring setting, std::wstring path, const wchar_t* type, std::wstring value)
        : shell_(shell), setting_(std::move(setting)), path_(std::move(path)), type_(type), value_(std::move(value)) {}

    // What the value holds now; a value that holds neither a DWORD nor a string could not be put back.
    Status ReadPrevious(std::wstring& failedStep) {
        Status status = shell_.RegRead(path_, previous_);
        existed_ = static_cast<bool>(status);
        if (!existed_ && status.code == kNotFound) return Status::Ok();
        if (existed_ && previous_.kind == RegValue::Kind::Other)
            status = Status::Failure(0, Say(words::kPreviousUnrestorable));
        if (!status) failedStep = Say(words::kReadPrevious, {{L"setting", setting_}, {L"path", path_}});
        return status;
    }

    uint32_t PreviousNumber() const {
        return existed_ && previous_.kind == RegValue::Kind::Number ? previous_.number : 0;
    }

    Status Apply(std::wstring& failedStep) override {
        const Status status = shell_.RegWrite(path_, value_, type_);
        if (!status) {
            failedStep = Say(words::kWriteSetting, {{L"setting", setting_}, {L"path", path_}});
            return status;
        }
        written_ = true;
        return status;
    }

    bool Changed() const override { return written_; }

    std::wstring Undo() override {
        if (!written_) return {};
        written_ = false;
        const Status status = Restore();
        if (status) return {};
        return Say(words::kSettingNotRestored, {{L"setting", Describe()}, {L"reason", DescribeFailure(status)}});
    }

private:
    Status Restore() {
        if (!existed_) return shell_.RegDelete(path_);
        if (previous_.kind == RegValue::Kind::Text) return shell_.RegWrite(path_, previous_.text, L"REG_SZ");
        // The script shell object takes a DWORD as signed text: values above 2^31-1 go back as negative numbers.
        return shell_.RegWrite(path_, DecimalText(static_cast<int32_t>(previous_.number)), L"REG_DWORD");
    }

    // "Tds 端口（path）现为 3390，原为 3389".
    std::wstring Describe() const {
        const auto quoted = [](const std::wstring& text) { return Say(words::kQuoted, {{L"text", text}}); };
        std::wstring before = Say(words::kValueAbsent);
        if (existed_) {
            before = previous_.kind == RegValue::Kind::Text ? quoted(previous_.text) : DecimalText(previous_.number);
        }
        const std::wstring now = type_ == std::wstring(L"REG_SZ")
                                     ? quoted(value_)
                                     : DecimalText(DecimalValue(value_, kHighestPort).value_or(0));
        return Say(words::kSettingNowAndBefore,
                   {{L"setting", setting_}, {L"path", path_}, {L"now", now}, {L"before", before}});
    }

    ScriptShell& shell_;
    std::wstring setting_;
    std::wstring path_;
    const wchar_t* type_;
    std::wstring value_;
    bool existed_ = false;
    RegValue previous_;
    bool written_ = false;
};

// Whether the script shell object could not be created because its class is not registered (wshom.ocx
// unregistered, as on servers hardened against scripts).
bool ScriptShellNotRegistered(const Status& status) {
    return status.code == kClassNameUnknown || status.code == kClassNotRegistered || status.code == kModuleNotFound;
}

}  // namespace

std::wstring ScriptShellFailure(const Status& status) {
    if (!ScriptShellNotRegistered(status)) return DescribeFailure(status);
    return Say(words::kShellNotRegistered, {{L"code", HexText8(status.code)}});
}

CurrentPort ReadCurrentPort(ScriptShell& shell) {
    CurrentPort result;
    result.status = ReadPortValue(shell, kRdpTcpPortPath, result.number);
    if (result.status) return result;
    // Report why the listener's own value failed: that is the one the administrator needs to fix.
    CurrentPort legacy;
    legacy.status = ReadPortValue(shell, kTdsPortPath, legacy.number);
    if (legacy.status) return legacy;
    return result;
}

std::wstring FirewallEntryName(const std::wstring& portText) {
    return portText + L":TCP";
}

std::wstring FirewallEntryData(const std::wstring& portText) {
    return portText + L":TCP:*:Enabled:新的远程连接端口";
}

PortSettingsWrites ReadPortSettings(ScriptShell& shell, const std::wstring& portText) {
    PortSettingsWrites writes;
    auto tds = std::make_unique<RegistryWrite>(shell, Say(words::kTdsPortName), kTdsPortPath, L"REG_DWORD", portText);
    auto rdpTcp =
        std::make_unique<RegistryWrite>(shell, Say(words::kRdpTcpPortName), kRdpTcpPortPath, L"REG_DWORD", portText);
    auto entry = std::make_unique<RegistryWrite>(shell, Say(words::kFirewallEntryNameOfSetting),
                                                 kFirewallListPath + FirewallEntryName(portText), L"REG_SZ",
                                                 FirewallEntryData(portText));
    for (RegistryWrite* write : {tds.get(), rdpTcp.get(), entry.get()}) {
        writes.status = write->ReadPrevious(writes.failedStep);
        if (!writes.status) return writes;
    }
    writes.previousListenerPort = rdpTcp->PreviousNumber();
    writes.steps.push_back(std::move(tds));
    writes.steps.push_back(std::move(rdpTcp));
    writes.steps.push_back(std::move(entry));
    return writes;
}

}  // namespace korvane
