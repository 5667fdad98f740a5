// The dynamic range as netsh prints it on Windows 7 and Server 2008 R2, in English and in Chinese (OEM code
// page 936), and what is not a range.
#include <gtest/gtest.h>

#include "platform/netsh_dynamic_range.h"

namespace korvane::testing {
namespace {

// The heading and the two labels of Chinese Windows, in code page 936: "协议 tcp 动态端口范围", "启动端口", "端口数".
const std::string kChineseHeading = "\xd0\xad\xd2\xe9 tcp \xb6\xaf\xcc\xac\xb6\xcb\xbf\xda\xb7\xb6\xce\xa7";
const std::string kChineseStart = "\xc6\xf4\xb6\xaf\xb6\xcb\xbf\xda";
const std::string kChineseCount = "\xb6\xcb\xbf\xda\xca\xfd";

TEST(NetshDynamicRange, TheTwoNumbersAfterTheColons) {
    const struct {
        const char* name;
        std::string output;
        bool parsed;
        DynamicPortRange range;  // when parsed
    } cases[] = {
        {"English, as netsh prints it",
         "\r\nProtocol tcp Dynamic Port Range\r\n---------------------------------\r\nStart Port      : 49152\r\n"
         "Number of Ports : 16384\r\n\r\n",
         true,
         {49152, 16384}},
        {"Chinese, moved by an administrator",
         "\r\n" + kChineseHeading + "\r\n---------------------------------\r\n" + kChineseStart +
             "        : 10000\r\n" + kChineseCount + "          : 1000\r\n\r\n",
         true,
         {10000, 1000}},
        {"line feeds alone, blank lines between, up to the last port",
         "\n\n\nStart Port : 1024\n\n\nNumber of Ports : 64512",
         true,
         {1024, 64512}},
        {"the number of ports missing", "Protocol tcp Dynamic Port Range\r\nStart Port      : 49152\r\n", false, {}},
        {"no ports", "Start Port : 49152\r\nNumber of Ports : 0\r\n", false, {}},
        {"past port 65535", "Start Port : 49152\r\nNumber of Ports : 16385\r\n", false, {}},
        {"a value that is not a number", "Start Port : 4915x\r\nNumber of Ports : 16384\r\n", false, {}},
        {"an error instead of the range",
         "The following command was not found: interface ipv4 show dynamicport tcp.\r\n",
         false,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DynamicPortRange range{1, 1};
        EXPECT_EQ(ParseNetshDynamicRange(std::vector<char>(c.output.begin(), c.output.end()), range), c.parsed);
        const DynamicPortRange expected = c.parsed ? c.range : DynamicPortRange{1, 1};
        EXPECT_EQ(range.start, expected.start);
        EXPECT_EQ(range.count, expected.count);
    }
}

}  // namespace
}  // namespace korvane::testing
