#pragma once

#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/scoped.h"

namespace korvane {

// The platform services on Windows. Message boxes are owned by the window set with SetOwner, which
// they disable while they are up.
class Win32Platform final : public Platform {
public:
    void SetOwner(HWND owner) { owner_ = owner; }

    std::unique_ptr<ScriptShell> CreateScriptShell(Status& status) override;
    std::unique_ptr<FirewallPolicy> CreateFirewallPolicy(Status& status) override;
    int ShowMessage(const std::wstring& prompt, int style, const std::wstring& title) override;
    Status StartProgram(const std::wstring& program, const std::wstring& arguments, int windowStyle,
                        uint32_t waitMilliseconds, ProgramExit& exit) override;
    std::wstring SystemDirectory() override;
    std::wstring DisplayText(const std::wstring& text) override;
    Status RegistryStrings(const std::wstring& key, std::vector<RegString>& values) override;
    Status TryExclusiveBind(uint16_t port, PortBind& result) override;
    Status ListTcpListeners(std::vector<TcpListener>& listeners) override;
    Status ServiceProcess(const std::wstring& service, uint32_t& processId) override;
    Status ServiceStartType(const std::wstring& service, uint32_t& startType) override;
    std::wstring ProcessImageName(uint32_t processId) override;
    WindowsVersion Version() override;
    Status TcpDynamicPortRange(uint32_t waitMilliseconds, DynamicPortRange& range) override;
    std::wstring ChassisAssetTag() override;
    std::vector<uint8_t> SystemUuid() override;
    std::wstring SystemSerialNumber() override;
    Status InterfaceName(const std::wstring& guid, std::wstring& name) override;

private:
    // Starts `program`, named by its full path, with `arguments`, as `startup` and `flags` tell CreateProcessW;
    // handles are inherited only where an attribute list names them (EXTENDED_STARTUPINFO_PRESENT). `process`
    // owns the process started.
    static Status Launch(const std::wstring& program, const std::wstring& arguments, STARTUPINFOW& startup, DWORD flags,
                         KernelHandle& process);
    // The range as netsh tells it, on Windows 7 and Server 2008 R2, whose WMI has no MSFT_NetTCPSetting.
    Status DynamicRangeFromNetsh(uint32_t waitMs, DynamicPortRange& range);
    // The raw SMBIOS table, read from the firmware once for the run (it does not change while Windows runs); empty
    // where the firmware has none.
    const std::vector<uint8_t>& Smbios();

    HWND owner_ = nullptr;
    std::vector<uint8_t> smbios_;
    bool smbiosRead_ = false;
};

}  // namespace korvane
