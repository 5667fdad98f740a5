// The texts the program shows, as its design gives them, defined once for every test: the unit tests on
// Linux, the window tests and the end-to-end tests under Wine. A test compares what the program shows with
// these, never with the program's own constants.
#pragma once

#include <string>

namespace expected {

inline const std::wstring kPublisher = L"www.kv.example";
inline const std::wstring kMainCaption = L"Korvane-远程端口修改V1.0【" + kPublisher + L"】";

// The activity log: lines as appended, each with its CR LF.
inline const std::wstring kStartLog = L"程序默认将远程端口设置为：10010\r\n";
inline std::wstring SuccessLines(const std::wstring& port) {
    return L"系统远程桌面连接端口已被修改为：" + port +
           L"\r\n远程端口已被添加到防火墙例外\r\n远程端口将在重启后生效！\r\n" + L"欢迎访问KorvaneIT技术网：" +
           kPublisher + L"！\r\n";
}

// Message boxes.
inline const std::wstring kRestartQuestion = L"修改完成，确定重启吗？";
inline const std::wstring kRestartTitle = L"Korvane";
inline const std::wstring kRestartNotice = L"点击确定后立即重启";
inline const std::wstring kRestartNoticeTitle = L"提示";
inline const std::wstring kLimitPrompt = L"端口最大值：65535，端口已自动生成可自行更改。";
inline const std::wstring kErrorTitle = L"错误";
inline const std::wstring kWarningTitle = L"警告";

// Why the script shell object is missing where its class is not registered, with its code ("800401F3").
inline std::wstring ShellNotRegistered(const std::wstring& code) {
    return L"它没有注册（错误代码 0x" + code +
           L"），常见于加固过的服务器。请以管理员身份运行 regsvr32 wshom.ocx 重新注册后再修改端口；若安全策略要求注销，修改完成"
           L"后可运行 regsvr32 /u wshom.ocx 再次注销。";
}

// Windows and controls.
inline const std::wstring kTooltip = L"双击我可清空内容哦！";
inline const std::wstring kAboutCaption = L"关于程序";
struct ControlText {
    int id;
    const wchar_t* text;
};
// The main window's fixed texts, by control (Text1, Text2 and the log are filled at start-up).
inline const ControlText kMainTexts[] = {
    {1001, L"Korvane·远程端口修改工具"},
    {1003, L"修改为"},
    {1004, L"修改"},
    {1005, L"日志："},
    {1008, L"退出"},
    {1009, L"作者网站："},
    {1010, L"www.kv.example"},
};
inline const ControlText kAboutTexts[] = {
    {3001, L"Korvane-远程端口修改V1.0"},
    {3002, L"1、程序自身能自动读取出当前远程端口号；"},
    {3003, L"2、用户可自定义输入要修改的远程端口号；"},
    {3004, L"3、用户无需手工添加防火墙例外；"},
    {3005, L"4、修改完成之后需重启后才会生效；"},
    {3008, L"5、若发现BUG请反馈，有更好功能也可以提出；"},
    {3006, L"版本号：V1.0"},
    {3007, L"制作完成日期：2015-10-27"},
};

}  // namespace expected
