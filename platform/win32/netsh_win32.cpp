// The dynamic port range for TCP as netsh tells it, on Windows 7 and Server 2008 R2, whose WMI has no
// MSFT_NetTCPSetting.
#include <string>
#include <vector>

#include "platform/netsh_dynamic_range.h"
#include "platform/number_text.h"
#include "platform/win32/dispatch.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/responsive_wait.h"

namespace korvane {

namespace {

// netsh prints a few hundred bytes. The pipe is asked for far more, so that netsh never waits for a reader and
// the output can be read once it has ended, from the window's thread, without a read that could wait. Should
// the output ever outgrow the buffer, netsh would wait in its write and the wait would end as a timeout.
constexpr DWORD kPipeBuffer = 64 * 1024;

// The attributes of a new process that let it inherit `handle` and no other handle of this process.
class InheritOnly {
public:
    explicit InheritOnly(HANDLE handle) : handle_(handle) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);  // fails by design, telling the size
        buffer_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
        initialized_ = list;
        // The list keeps a pointer to the handle: it lives in this object, as long as the list.
        if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle_, sizeof handle_, nullptr,
                                      nullptr))
            list_ = list;
    }
    InheritOnly(const InheritOnly&) = delete;
    InheritOnly& operator=(const InheritOnly&) = delete;
    ~InheritOnly() {
        if (initialized_) DeleteProcThreadAttributeList(initialized_);
    }
    // Null when the list could not be made; GetLastError tells why.
    LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return list_; }

private:
    HANDLE handle_;
    std::vector<unsigned char> buffer_;
    LPPROC_THREAD_ATTRIBUTE_LIST initialized_ = nullptr;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// Whatever the pipe holds, read without waiting: the writer has ended.
Status ReadWhatIsThere(HANDLE pipe, std::vector<char>& output) {
    while (output.size() < kPipeBuffer) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
            if (GetLastError() == ERROR_BROKEN_PIPE) break;  // emptied, and no writer left
            return LastErrorStatus();
        }
        if (available == 0) break;
        const std::size_t had = output.size();
        output.resize(had + available);
        DWORD read = 0;
        if (!ReadFile(pipe, output.data() + had, available, &read, nullptr)) return LastErrorStatus();
        output.resize(had + read);
    }
    return Status::Ok();
}

}  // namespace

// Runs System32's netsh.exe ("interface ipv4 show dynamicport tcp") without a window and reads what it prints,
// waiting at most `waitMs` with the window kept painting and the owner disabled; a netsh still running then is
// ended. A failure where netsh cannot be started, fails, prints no range or does not end in time.
Status Win32Platform::DynamicRangeFromNetsh(uint32_t waitMs, DynamicPortRange& range) {
    const std::wstring system = SystemDirectory();
    if (system.empty()) return LastErrorStatus();
    const std::wstring program = system + L"\\netsh.exe";

    KernelHandle read, write;
    if (!CreatePipe(read.Put(), write.Put(), nullptr, kPipeBuffer) ||
        !SetHandleInformation(write.Get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT))
        return LastErrorStatus();
    const InheritOnly attributes(write.Get());
    if (!attributes.Get()) return LastErrorStatus();
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdOutput = write.Get();
    startup.StartupInfo.hStdError = write.Get();
    startup.lpAttributeList = attributes.Get();
    KernelHandle process;
    Status status = Launch(program, L"interface ipv4 show dynamicport tcp", startup.StartupInfo,
                           CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, process);
    if (!status) {
        status.message = program + L"：" + status.message;
        return status;
    }
    // netsh holds the only write end now: once it has ended, nothing more comes.
    write.Reset();

    if (!WaitKeepingWindowsPainted(owner_, process.Get(), waitMs)) {
        TerminateProcess(process.Get(), ERROR_TIMEOUT);
        return Status::Failure(static_cast<uint32_t>(HRESULT_FROM_WIN32(ERROR_TIMEOUT)), L"netsh.exe 没有及时结束。");
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process.Get(), &code)) return LastErrorStatus();
    if (code != 0)
        return Status::Failure(static_cast<uint32_t>(E_FAIL),
                               L"netsh.exe 以退出代码 " + DecimalText(code) + L" 结束。");
    std::vector<char> output;
    status = ReadWhatIsThere(read.Get(), output);
    if (!status) return status;
    if (!ParseNetshDynamicRange(output, range))
        return Status::Failure(static_cast<uint32_t>(HRESULT_FROM_WIN32(ERROR_INVALID_DATA)),
                               L"netsh.exe 的输出中没有动态端口范围。");
    return Status::Ok();
}

}  // namespace korvane
