// Every sentence the program says, in one table (sentences.cpp), where it can be read and reworded in one
// place. A sentence is whole, with named placeholders ("端口 {port} ...") that the code fills in; the code
// never glues pieces of Chinese together itself.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// One value for a placeholder: "{port}" is filled with the value named "port". A Value owns its text (a finding
// keeps its values); a ValueView only lends it for the one call.
struct Value {
    const wchar_t* name;
    std::wstring text;
};
using Values = std::vector<Value>;
struct ValueView {
    const wchar_t* name;
    std::wstring_view text;
};

// `sentence` with each "{name}" replaced by the value of that name. A brace that names no value stays as it is;
// the values' own text is never read for placeholders. Where a value begins or ends in a Latin letter or a digit
// next to a Chinese character of the sentence, a space sets them apart, as Chinese Windows writes "在 AWS 安全组".
std::wstring Say(const wchar_t* sentence, std::initializer_list<ValueView> values = {});
std::wstring Say(const wchar_t* sentence, const Values& values);

// The sentences other than the findings' (below): log lines, messages, steps and the pieces of a list.
namespace words {

// Start-up.
inline constexpr wchar_t kDefaultPortLine[] = L"程序默认将远程端口设置为：{port}";
inline constexpr wchar_t kShellNotRegistered[] =
    L"WScript.Shell 组件（用于读写注册表）没有注册，加固过的服务器常会注销它（错误代码 0x{code}）。请以管理员身份运行 "
    L"regsvr32 %SystemRoot%\\System32\\wshom.ocx 重新注册它，再修改端口；若服务器的安全策略要求注销，修改完成后可运行 "
    L"regsvr32 /u %SystemRoot%\\System32\\wshom.ocx 再次注销。";
inline constexpr wchar_t kNoShellAtStartup[] =
    L"无法读取当前远程端口：无法创建 WScript.Shell 组件（用于读写注册表），{reason}";
inline constexpr wchar_t kCurrentPortUnreadable[] = L"无法读取当前远程端口：{reason}";
inline constexpr wchar_t kPendingPort[] =
    L"远程桌面现在仍在端口 {ports} 上监听，已设置的端口 {port} 在重启计算机后生效";

// The port's registry values.
inline constexpr wchar_t kNotADword[] = L"注册表值 {path} 不是 DWORD 数值。";
inline constexpr wchar_t kTdsPortName[] = L"Tds 端口";
inline constexpr wchar_t kRdpTcpPortName[] = L"RDP-Tcp 端口";
inline constexpr wchar_t kFirewallEntryNameOfSetting[] = L"防火墙例外";
inline constexpr wchar_t kReadPrevious[] = L"读取{setting}原值（{path}）";
inline constexpr wchar_t kPreviousUnrestorable[] = L"该值既不是 DWORD 也不是字符串，修改后将无法恢复原值。";
inline constexpr wchar_t kWriteSetting[] = L"写入{setting}（{path}）";
inline constexpr wchar_t kSettingNotRestored[] = L"{setting}，恢复失败：{reason}";
inline constexpr wchar_t kSettingNowAndBefore[] = L"{setting}（{path}）现为 {now}，原为 {before}";
inline constexpr wchar_t kValueAbsent[] = L"不存在";
inline constexpr wchar_t kQuoted[] = L"“{text}”";

// The program's firewall rules.
inline constexpr wchar_t kRuleName[] = L"远程桌面端口 {port} ({label})";
inline constexpr wchar_t kRuleNameNumbered[] = L"远程桌面端口 {port} ({label}, {number})";
inline constexpr wchar_t kRuleDescription[] = L"新的远程连接端口";
inline constexpr wchar_t kReadRule[] = L"读取防火墙规则“{rule}”";
inline constexpr wchar_t kAddRule[] = L"添加防火墙入站规则“{rule}”";
inline constexpr wchar_t kRuleNotRestored[] = L"防火墙规则“{rule}”未能恢复原设置：{reason}";
inline constexpr wchar_t kRuleNotRemoved[] = L"防火墙规则“{rule}”未能删除：{reason}";

// The profiles, as Windows Firewall names them.
inline constexpr wchar_t kDomainProfile[] = L"域";
inline constexpr wchar_t kPrivateProfile[] = L"专用";
inline constexpr wchar_t kPublicProfile[] = L"公用";
inline constexpr wchar_t kNetwork[] = L"网络";
inline constexpr wchar_t kListSeparator[] = L"、";

// What the checks log.
inline constexpr wchar_t kRangeNotGiven[] = L"Windows 没有给出范围";
inline constexpr wchar_t kRangeUnread[] = L"未能读取 Windows 的动态端口范围：{reason}，按默认范围 {range} 检查";
inline constexpr wchar_t kPortOnlyConnected[] =
    L"端口 {port} 现在只被网络连接使用，没有程序在其上监听，重启后这些连接不再占用它";
inline constexpr wchar_t kPortUncheckable[] = L"未能检查端口 {port} 是否可用：{reason}";
inline constexpr wchar_t kFirewallOnUncheckable[] = L"未能检查 Windows 防火墙在{networks}上是否已打开：{reason}";
inline constexpr wchar_t kLocalPolicyUncheckable[] = L"未能检查 Windows 防火墙是否应用本地规则：{reason}";
inline constexpr wchar_t kUdpBlocked[] =
    L"Windows 防火墙的阻止规则“{rule}”阻止 UDP 端口 {port} 的入站连接；远程桌面仍可通过 TCP 连接";
inline constexpr wchar_t kNoRuleServiceStopped[] =
    L"未添加防火墙规则：Windows 防火墙服务（MpsSvc）已停止，请在这台计算机使用的防火墙中放行 TCP 端口 {port}";
inline constexpr wchar_t kNoRuleServiceDisabled[] =
    L"未添加防火墙规则：Windows 防火墙服务（MpsSvc）已禁用，请在这台计算机使用的防火墙中放行 TCP 端口 {port}";

// Group Policy's firewall, and the block rules carried over to the new port.
inline constexpr wchar_t kPolicyRulesUnread[] = L"未能读取组策略的防火墙规则：{reason}";
inline constexpr wchar_t kPolicyRuleUnreadable[] = L"未能识别组策略的防火墙规则 {rule}，检查时没有计入这条规则";
inline constexpr wchar_t kBlockCarried[] = L"将为新端口 {port} 添加阻止规则“{name}”，沿用只阻止端口 {current} 的{rule}";
inline constexpr wchar_t kBlockRuleName[] = L"阻止远程桌面端口 {port} ({label})";
inline constexpr wchar_t kBlockRuleNameNumbered[] = L"阻止远程桌面端口 {port} ({label}, {number})";
inline constexpr wchar_t kBlockRuleDescription[] = L"沿用端口 {current} 的阻止规则“{rule}”";

// Who holds a port, and the block rules, as the findings name them.
inline constexpr wchar_t kOtherProgram[] = L"另一个程序";
inline constexpr wchar_t kUnknownProgram[] = L"未知程序";
inline constexpr wchar_t kProgramWithProcess[] = L"程序 {image}（进程 ID {pid}）";
inline constexpr wchar_t kProgramWithModuleAndProcess[] = L"程序 {image}（{module}，进程 ID {pid}）";
inline constexpr wchar_t kBlockRuleNamed[] = L"“{rule}”";
inline constexpr wchar_t kBlockRuleWithAddresses[] = L"“{rule}”（远程地址：{addresses}）";

// The one warning before the first write.
inline constexpr wchar_t kReportTitle[] = L"警告";
inline constexpr wchar_t kReportHeading[] = L"修改为端口 {port} 之前，发现以下问题：";
inline constexpr wchar_t kReportItem[] = L"{number}、{text}";
inline constexpr wchar_t kReportUnchecked[] = L"以下检查未能完成：";
inline constexpr wchar_t kReportQuestion[] = L"仍要修改吗？选择“是”继续修改；选择“否”取消，不做任何更改。";
inline constexpr wchar_t kCancelled[] = L"修改已取消：{findings}";
inline constexpr wchar_t kCancelledSeparator[] = L"；";

// The change.
inline constexpr wchar_t kErrorTitle[] = L"错误";
inline constexpr wchar_t kLimitPrompt[] = L"端口最大值：65535，端口已自动生成可自行更改。";
inline constexpr wchar_t kNotAPortPrompt[] =
    L"端口必须是 1 到 65535 之间的整数（只能包含数字），端口已自动生成可自行更改。";
inline constexpr wchar_t kCreateShellStep[] = L"创建 WScript.Shell 组件（用于读写注册表）";
inline constexpr wchar_t kOpenFirewallStep[] = L"打开 Windows 防火墙策略（HNetCfg.FwPolicy2）";
inline constexpr wchar_t kFailedNotRestored[] =
    L"修改远程端口失败。\r\n\r\n失败的步骤：{step}\r\n原因：{reason}\r\n\r\n以下设置未能恢复原样，请手工检查：\r\n{"
    L"settings}";
inline constexpr wchar_t kFailedRestored[] =
    L"修改远程端口失败。\r\n\r\n失败的步骤：{step}\r\n原因：{reason}"
    L"\r\n\r\n已写入的设置均已恢复原样，远程桌面端口和防火墙设置均未改变。";
inline constexpr wchar_t kFailedNothingWritten[] =
    L"修改远程端口失败。\r\n\r\n失败的步骤：{step}\r\n原因：{reason}"
    L"\r\n\r\n没有写入任何设置，远程桌面端口和防火墙设置均未改变。";
inline constexpr wchar_t kFailedLine[] = L"修改失败：{step}，{reason}";
inline constexpr wchar_t kNotRestoredLine[] = L"未能恢复：{settings}";
inline constexpr wchar_t kNotRestoredSeparator[] = L"；";
inline constexpr wchar_t kChangedLine[] = L"系统远程桌面连接端口已被修改为：{port}";
inline constexpr wchar_t kRulesAddedLine[] = L"远程端口已被添加到防火墙例外";
inline constexpr wchar_t kTakesEffectLine[] = L"远程端口将在重启后生效！";
inline constexpr wchar_t kWelcomeLine[] = L"欢迎访问KorvaneIT技术网：{url}！";
inline constexpr wchar_t kRestartTitle[] = L"Korvane";
inline constexpr wchar_t kRestartQuestion[] = L"修改完成，确定重启吗？";
inline constexpr wchar_t kNoticeTitle[] = L"提示";
inline constexpr wchar_t kRestartNotice[] = L"点击确定后立即重启";
inline constexpr wchar_t kRestartNotStartedLine[] = L"重启失败：无法启动 {command}，{reason}";
inline constexpr wchar_t kRestartNotStartedPrompt[] =
    L"远程端口已修改，但无法启动重启命令：\r\n{command}\r\n原因：{reason}"
    L"\r\n\r\n请手动重启计算机，新端口在重启后生效。";
inline constexpr wchar_t kRestartUnconfirmedLine[] =
    L"未能确认重启：{command} 在 {seconds} 秒内没有结束；如果计算机没有重启，请手动重启，新端口在重启后生效";
inline constexpr wchar_t kExitCode[] = L"退出代码 {code}";
inline constexpr wchar_t kExitCodeWithText[] = L"{text}（退出代码 {code}）";
inline constexpr wchar_t kRestartRefusedLine[] =
    L"重启失败：Windows 拒绝了重启命令 {command}，{reason}，新端口在计算机下次重启后生效";
inline constexpr wchar_t kRestartRefusedPrompt[] =
    L"Windows "
    L"拒绝了重启命令：\r\n{command}\r\n原因：{reason}"
    L"\r\n\r\n远程端口已修改，新端口在计算机下次重启后生效。计算机现在可能不会重启，请稍后手动重启。";

}  // namespace words

// "域、专用、公用" for the profiles set in a NET_FW_PROFILE_TYPE2 mask; as networks, "专用网络、公用网络", as Windows
// Firewall names its networks.
std::wstring ProfileNames(int profiles, bool asNetworks = false);

// A Home edition by the name Windows gives it in Chinese ("家庭中文版" for CoreCountrySpecific); for an EditionID
// Windows has no such name for, "家庭版（ID）".
std::wstring HomeEditionName(const std::wstring& editionId);

// What a check found before the first write: its kind and the values its sentences name.
enum class FindingKind {
    HomeEdition,
    RemoteDesktopOffHere,
    RemoteDesktopOffHereWindows7,
    RemoteDesktopOffByPolicy,
    PortTaken,
    PortTakenByKernel,
    PortMaybeTaken,
    PortReserved,
    DynamicRange,
    FirewallServiceStopped,
    FirewallServiceDisabled,
    FirewallByGroupPolicy,
    FirewallBlocksAllInbound,
    FirewallBlocksAllInboundOnNetworks,
    FirewallOff,
    BlockRule,
    BlockRules,
    OpenToEveryone,
    RulesUnreadable,
    SecurityNotCopied,
    Cloud,
    kCount
};

struct Finding {
    FindingKind kind;
    Values values;
};

// What was found and what to do, in one or two short sentences.
std::wstring TextOf(const Finding& finding);
// A few words for the log line when the change is cancelled.
std::wstring BriefOf(const Finding& finding);

}  // namespace korvane
