#include "port/port_settings.h"

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

}  // namespace korvane
