// Every sentence the program says, in this one header where it can be read and reworded: the words of log
// lines, messages and steps, and what each finding before a change says. A sentence is whole, with named
// placeholders ("端口 {port} ...") that the code fills in; the code never glues pieces of Chinese together itself.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// One value for a placeholder: "{port}" is filled with the value named "port"; its text is lent for the one call.
struct ValueView {
    const wchar_t* name;
    std::wstring_view text;
};

// `sentence` with each "{name}" replaced by the value of that name. A brace that names no value stays as it is;
// the values' own text is never read for placeholders. Where a value begins or ends in a Latin letter or a digit
// next to a Chinese character of the sentence, a space sets them apart, as Chinese Windows writes "在 AWS 安全组".
std::wstring Say(const wchar_t* sentence, std::initializer_list<ValueView> values = {});
// The same, with the `count` values at `values`.
std::wstring Say(const wchar_t* sentence, const ValueView* values, std::size_t count);

// The items one after another, `separator` between each two.
std::wstring Joined(const std::vector<std::wstring>& items, const wchar_t* separator);

// Whether `items` hold `item`.
bool Contains(const std::vector<std::wstring>& items, const std::wstring& item);

// The sentences other than the findings' (below): log lines, messages, steps and the pieces of a list.
namespace words {

// Start-up.
inline constexpr wchar_t kDefaultPortLine[] = L"程序默认将远程端口设置为：{port}";
inline constexpr wchar_t kShellNotRegistered[] =
    L"它没有注册（错误代码 0x{code}），常见于加固过的服务器。请以管理员身份运行 regsvr32 wshom.ocx 重新注册后再修改"
    L"端口；若安全策略要求注销，修改完成后可运行 regsvr32 /u wshom.ocx 再次注销。";
inline constexpr wchar_t kNoShellAtStartup[] =
    L"无法读取当前远程端口：无法创建 WScript.Shell 组件（用于读写注册表），{reason}";
inline constexpr wchar_t kCurrentPortUnreadable[] = L"无法读取当前远程端口：{reason}";
inline constexpr wchar_t kPendingPort[] =
    L"远程桌面现在仍在端口 {ports} 上侦听，已设置的端口 {port} 在重启计算机后生效";

// The port's registry values.
inline constexpr wchar_t kNotADword[] = L"注册表值 {path} 不是 DWORD 数值。";
inline constexpr wchar_t kTdsPortName[] = L"Tds 端口";
inline constexpr wchar_t kRdpTcpPortName[] = L"RDP-Tcp 端口";
inline constexpr wchar_t kFirewallEntryNameOfSetting[] = L"防火墙例外";
inline constexpr wchar_t kReadPrevious[] = L"读取{setting}原值（{path}）";
inline constexpr wchar_t kPreviousUnrestorable[] = L"该值既不是 DWORD 也不是字符串，修改后将无法恢复原值。";
inline constexpr wchar_t kWriteSetting[] = L"写入{setting}（{path}）";
inline constexpr wchar_t kSettingNotRestored[] = L"{setting}，恢复失败：{reason}";
inline constexpr wchar_t kSettingNowAndBefore[] = L"{setting}（{path}）现为{now}，原为{before}";
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
inline constexpr wchar_t kRangeUnread[] = L"未能读取动态端口范围：{reason}，按默认的 {range} 检查";
inline constexpr wchar_t kPortOnlyConnected[] =
    L"端口 {port} 现在只被网络连接使用，没有程序在其上侦听，重启后这些连接不再占用它";
inline constexpr wchar_t kPortUncheckable[] = L"未能检查端口 {port} 是否可用：{reason}";
inline constexpr wchar_t kFirewallOnUncheckable[] = L"未能检查 Windows 防火墙在{networks}上是否已打开：{reason}";
inline constexpr wchar_t kLocalPolicyUncheckable[] = L"未能检查 Windows 防火墙是否应用本地规则：{reason}";
inline constexpr wchar_t kUdpBlocked[] =
    L"Windows 防火墙的阻止规则“{rule}”阻止 UDP 端口 {port} 的入站连接；远程桌面仍可通过 TCP 连接";
inline constexpr wchar_t kNoRuleServiceStopped[] =
    L"未添加防火墙规则：Windows 防火墙服务（MpsSvc）已停止，请在这台计算机使用的防火墙中放行 TCP 端口 {port}";
inline constexpr wchar_t kNoRuleServiceDisabled[] =
    L"未添加防火墙规则：Windows 防火墙服务（MpsSvc）已禁用，请在这台计算机使用的防火墙中放行 TCP 端口 {port}";

// Group Policy's firewall: its older settings as the rules they are, named as the policy editor names them; the
// block rules carried over to the new port; the rules that cannot be read or carried.
inline constexpr wchar_t kPolicyDomainProfile[] = L"域";
inline constexpr wchar_t kPolicyStandardProfile[] = L"标准";
inline constexpr wchar_t kPolicyRemoteDesktopException[] = L"允许入站远程桌面例外（组策略，{profile}配置文件）";
inline constexpr wchar_t kPolicyPortException[] = L"入站端口例外 {port}/{protocol}（组策略，{profile}配置文件）";
inline constexpr wchar_t kPolicyPortExceptionsList[] = L"入站端口例外列表（组策略，{profile}配置文件）";
inline constexpr wchar_t kPolicyStore[] = L"组策略";
inline constexpr wchar_t kLocalStore[] = L"这台计算机";
inline constexpr wchar_t kLocalRuleUnread[] = L"未能读取 Windows 防火墙规则“{rule}”：{reason}，检查时没有计入这条规则";
inline constexpr wchar_t kLocalRuleUnreadAt[] =
    L"未能读取 Windows 防火墙的第 {position} 条规则：{reason}，检查时没有计入这条规则";
inline constexpr wchar_t kRuleNotCarried[] = L"“{rule}”（{reason}）";
inline constexpr wchar_t kUnnamedInterface[] = L"限定的网络接口在这台计算机上找不到";
inline constexpr wchar_t kUserConditions[] =
    L"限定了用户或安全连接，Windows 7 和 Windows Server 2008 R2 无法为新规则设置";
inline constexpr wchar_t kBlockCarried[] =
    L"将为新端口 {port} 添加阻止规则“{name}”，沿用只阻止端口 {current} 的规则{rule}";
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
inline constexpr wchar_t kReportQuestion[] = L"仍要修改吗？选“是”继续修改，选“否”不做任何更改。";
inline constexpr wchar_t kCancelled[] = L"修改已取消：{findings}";
inline constexpr wchar_t kCancelledSeparator[] = L"；";

// The change.
inline constexpr wchar_t kErrorTitle[] = L"错误";
inline constexpr wchar_t kLimitPrompt[] = L"端口最大值：65535，端口已自动生成可自行更改。";
inline constexpr wchar_t kNotAPortPrompt[] =
    L"端口必须是 1 到 65535 之间的整数（只能包含数字），已改回默认端口 {port}，可自行更改。";
inline constexpr wchar_t kCreateShellStep[] = L"创建 WScript.Shell 组件（用于读写注册表）";
inline constexpr wchar_t kOpenFirewallStep[] = L"打开 Windows 防火墙策略（HNetCfg.FwPolicy2）";
inline constexpr wchar_t kFailedNotRestored[] =
    L"修改远程端口失败。\r\n\r\n失败的步骤：{step}\r\n原因：{reason}\r\n\r\n以下设置未能恢复原样，请手动检查：\r\n{"
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
// What it is and what to do, in one or two short sentences, and a few words for the log line when the change is
// cancelled.
struct FindingWords {
    const wchar_t* text;
    const wchar_t* brief;
};

namespace found {

// clang-format off
inline constexpr FindingWords kHomeEdition{
    L"这台计算机是 Windows {edition}，不能接受远程桌面连接。要远程连接它，须先升级到专业版或更高版本。",
    L"Windows 家庭版不能接受远程桌面连接"};
inline constexpr FindingWords kRemoteDesktopOffHere{
    L"这台计算机没有允许远程连接。请先在“系统属性”的“远程”选项卡中选择“允许远程连接到此计算机”。",
    L"这台计算机没有允许远程连接"};
inline constexpr FindingWords kRemoteDesktopOffHereWindows7{
    L"这台计算机没有允许远程连接。请先在“系统属性”的“远程”选项卡中选择“只允许运行带网络级身份验证的远程桌面的计算机连接"
    L"(更安全)”。",
    L"这台计算机没有允许远程连接"};
inline constexpr FindingWords kRemoteDesktopOffByPolicy{
    L"组策略禁止了远程桌面连接（“允许用户通过使用远程桌面服务进行远程连接”）。请在本地组策略编辑器（gpedit.msc）的“计算机"
    L"配置\\管理模板\\Windows 组件\\远程桌面服务\\远程桌面会话主机\\连接”中启用这一设置；若它由域组策略下发，请联系域管理员。",
    L"组策略禁止了远程桌面连接"};
inline constexpr FindingWords kPortTaken{
    L"端口 {port} 已被{owner}占用，重启后远程桌面可能无法在这个端口上侦听。请改用其他端口，或停止这个程序并使它不再自动启动"
    L"（作为服务运行的程序在重启后会再次占用端口）。",
    L"端口 {port} 已被{owner}占用"};
inline constexpr FindingWords kPortTakenByKernel{
    L"端口 {port} 正被系统内核（System，PID 4）侦听，通常是 HTTP.sys（IIS、WinRM、WSUS 等使用它，netsh http show "
    L"servicestate 可查看）。它重启后仍占用这个端口，请改用其他端口。",
    L"端口 {port} 正被系统内核侦听"};
inline constexpr FindingWords kPortTakenByKernelWindows7{
    L"端口 {port} 正被系统内核（PID 4）侦听：若是改过端口、未重启的远程桌面，可以继续；若是 HTTP.sys（IIS、WinRM 等，"
    L"netsh http show servicestate 可查看），重启后仍占用端口，请改用其他端口。",
    L"端口 {port} 正被系统内核侦听"};
inline constexpr FindingWords kPortMaybeTaken{
    L"端口 {port} 现在无法使用，可能已被其他程序占用。无法读取 TCP 侦听表确认：{reason}。请改用其他端口。",
    L"端口 {port} 可能已被占用"};
inline constexpr FindingWords kPortReserved{
    L"端口 {port} 已被系统保留（保留它的通常是 Hyper-V、WSL 或 Docker，保留的范围在每次启动时都可能变化），重启后远程桌面可能"
    L"无法在这个端口上侦听。请改用其他端口（命令 netsh interface ipv4 show excludedportrange protocol=tcp 可列出保留的范围）。",
    L"端口 {port} 已被系统保留"};
inline constexpr FindingWords kDynamicRange{
    L"端口 {port} 在动态端口范围（{range}）内，重启后可能被其他连接占用，请改用范围以外的端口。",
    L"端口 {port} 在动态端口范围（{range}）内"};
inline constexpr FindingWords kFirewallServiceStopped{
    L"Windows 防火墙服务（MpsSvc）已停止，无法添加规则。请以管理员身份运行 net start MpsSvc 后再修改端口，或在其他防火墙中放行 "
    L"TCP 端口 {port}。选择“是”则只改端口、不加规则，防火墙服务启动后会阻止新端口。",
    L"Windows 防火墙服务已停止"};
inline constexpr FindingWords kFirewallServiceDisabled{
    L"Windows 防火墙服务（MpsSvc）已禁用，无法添加规则。请以管理员身份运行 reg add HKLM\\SYSTEM\\CurrentControlSet\\Services\\"
    L"MpsSvc /v Start /t REG_DWORD /d 2 /f，重启后再修改端口，或在其他防火墙中放行 TCP 端口 {port}。选择“是”则只改端口、不加"
    L"规则，防火墙服务启动后会阻止新端口。",
    L"Windows 防火墙服务已禁用"};
inline constexpr FindingWords kFirewallByGroupPolicy{
    L"组策略把 Windows 防火墙的“应用本地防火墙规则”设为“否”，为端口 {port} 添加的规则不会生效。请在组策略中为 TCP 端口 {port} "
    L"添加入站规则；由域组策略下发时，请联系域管理员。",
    L"组策略不应用本地防火墙规则"};
inline constexpr FindingWords kLocalRulesIgnored{
    L"组策略在{networks}上把“应用本地防火墙规则”设为“否”，也没有允许 TCP 端口 {port} 的组策略规则：为新端口添加的规则在这些"
    L"网络上不会生效。请在组策略中为 TCP 端口 {port} 添加入站规则；由域组策略下发时，请联系域管理员。",
    L"组策略在{networks}上不应用本地防火墙规则"};
inline constexpr FindingWords kFirewallBlocksAllInbound{
    L"Windows 防火墙在当前网络上选中了“阻止所有传入连接”，任何规则都不会放行。请先取消这个选项。",
    L"Windows 防火墙阻止所有传入连接"};
inline constexpr FindingWords kFirewallBlocksAllInboundOnNetworks{
    L"Windows 防火墙在当前网络（{networks}）上选中了“阻止所有传入连接”，任何规则都不会放行。请先取消这个选项。",
    L"Windows 防火墙阻止所有传入连接"};
inline constexpr FindingWords kFirewallOff{
    L"Windows 防火墙在当前网络（{networks}）上已关闭，现在不会阻止新端口；新端口的规则照样添加，防火墙打开后生效。若使用其他"
    L"防火墙或安全软件（如安全狗、云锁），请在重启前在其中放行 TCP 端口 {port}。",
    L"Windows 防火墙在{networks}上已关闭"};
inline constexpr FindingWords kBlockRule{
    L"Windows 防火墙中已启用的阻止规则{rules}会阻止端口 {port} 的入站连接，阻止规则优先于允许规则。请修改或禁用这条规则，"
    L"或改用其他端口。",
    L"阻止规则{first}会阻止端口 {port}"};
inline constexpr FindingWords kBlockRules{
    L"Windows 防火墙中已启用的阻止规则{rules}会阻止端口 {port} 的入站连接，阻止规则优先于允许规则。请修改或禁用这些规则，"
    L"或改用其他端口。",
    L"阻止规则{first}等 {count} 条会阻止端口 {port}"};
inline constexpr FindingWords kCarriedBlockKeepsEveryoneOut{
    L"阻止规则{rules}现在阻止所有地址连接远程桌面端口 {current}，本程序会为新端口 {port} 添加同样的阻止规则：重启后也无法通过"
    L"新端口连接。若要通过远程桌面连接这台计算机，请先修改或禁用这条规则。",
    L"阻止规则{rules}会阻止新端口 {port} 的所有连接"};
inline constexpr FindingWords kOpenToEveryone{
    L"没有找到允许远程桌面端口 {current} 的已启用防火墙规则，新端口 {port} 的规则将对所有网络和所有远程地址开放。若只应允许部分"
    L"地址，请先在 Windows 防火墙中为端口 {current} 启用或添加入站规则，本程序会沿用它的作用域。",
    L"新端口将对所有网络和地址开放"};
inline constexpr FindingWords kRulesUnreadable{
    L"无法读取 Windows 防火墙的规则：{reason}。新端口 {port} 的规则将对所有网络和所有远程地址开放。",
    L"新端口将对所有网络和地址开放"};
inline constexpr FindingWords kLocalRulesUnreadable{
    L"无法读取 Windows 防火墙的规则：{reason}。无法检查其中是否有允许或阻止远程桌面的规则，新端口 {port} 的规则只沿用能读取的"
    L"规则的作用域。",
    L"无法读取 Windows 防火墙的规则"};
inline constexpr FindingWords kPolicyRulesUnreadable{
    L"无法读取组策略的防火墙规则：{reason}。其中可能有允许或阻止远程桌面的规则，检查时没有计入。",
    L"无法读取组策略的防火墙规则"};
inline constexpr FindingWords kRuleStringsUnreadable{
    L"无法识别{store}的防火墙规则 {rules}，检查时没有计入：其中可能有允许或阻止远程桌面的规则。",
    L"有防火墙规则无法识别"};
inline constexpr FindingWords kOverridingRules{
    L"允许远程桌面端口 {current} 的规则{rules}可以替代阻止规则（对经 IPsec 验证的连接），新端口 {port} 的规则无法这样设置，"
    L"而有阻止规则作用于新端口：这些连接在重启后将被阻止。请在重启前在“高级安全 Windows 防火墙”中为新端口添加同样“替代阻止"
    L"规则”的入站规则，或修改阻止规则。",
    L"新端口的规则无法替代阻止规则"};
inline constexpr FindingWords kRulesNotCarried{
    L"以下规则无法照样用于新端口 {port}，本程序不为新端口沿用它们：{rules}。请在重启前检查新端口是否需要同样的规则。",
    L"有规则无法沿用到新端口"};
inline constexpr FindingWords kSecurityNotCopied{
    L"允许远程桌面端口 {current} 的规则{rules}只允许安全连接（IPsec）或指定的用户和计算机。Windows 7 和 Windows Server 2008 "
    L"R2 无法为新端口 {port} 的规则设置这些要求，新规则不带这些限制。请在重启前在“高级安全 Windows 防火墙”中为新端口的规则"
    L"设置同样的要求，或改用其他方式限制连接。",
    L"新端口的规则无法要求安全连接"};
inline constexpr FindingWords kCloud{
    L"这台计算机是{cloud}的云服务器，安全组先于 Windows 过滤入站连接。请在重启前在{place}中放行 TCP 端口 {port}。",
    L"需先在{cloud}安全组放行 TCP 端口 {port}"};
// clang-format on

}  // namespace found

struct Finding {
    const FindingWords* kind;  // one of found::
    std::wstring text;         // its text and brief, said with the values the check found
    std::wstring brief;
};

}  // namespace korvane
