// What the machine itself says before the first write: Remote Desktop turned off (here or by Group Policy), a
// Home edition, a cloud's security group, a port in the dynamic range; and the port Remote Desktop still
// listens on at start-up while a change waits for the restart.
#include <gtest/gtest.h>

#include "platform/smbios.h"
#include "port/host_facts.h"
#include "port/startup.h"
#include "tests/unit/change_fixture.h"

namespace korvane::testing {
namespace {

constexpr int kNo = 7;

TEST(HostFacts, GroupPolicyDecidesWhenPresentElseTheMachinesOwnValue) {
    using S = RemoteDesktopSwitch;
    const std::optional<uint32_t> none;
    EXPECT_EQ(RemoteDesktopSwitchOf(none, none), S::On);
    EXPECT_EQ(RemoteDesktopSwitchOf(0u, none), S::On);
    EXPECT_EQ(RemoteDesktopSwitchOf(1u, none), S::OffHere);
    EXPECT_EQ(RemoteDesktopSwitchOf(1u, 0u), S::On) << "the policy allows, whatever the machine says";
    EXPECT_EQ(RemoteDesktopSwitchOf(0u, 1u), S::OffByPolicy);
    EXPECT_EQ(RemoteDesktopSwitchOf(none, 1u), S::OffByPolicy);
    EXPECT_EQ(RemoteDesktopSwitchOf(none, 0u), S::On);
}

TEST(HostFacts, HomeEditionsAcceptNoConnection) {
    for (const wchar_t* home :
         {L"Core", L"CoreCountrySpecific", L"CoreSingleLanguage", L"CoreN", L"HomeBasic", L"HomePremium", L"Starter"}) {
        EXPECT_TRUE(IsHomeEdition(home)) << std::wstring(home).size();
    }
    for (const wchar_t* other : {L"Professional", L"Enterprise", L"Education", L"ProfessionalWorkstation",
                                 L"ServerStandard", L"ServerDatacenter", L"Ultimate", L""}) {
        EXPECT_FALSE(IsHomeEdition(other)) << std::wstring(other).size();
    }
}

// AWS's own example (SMBIOS 2.6 and later): Windows shows EC2AE145-D1DC-13B2-94ED-012345ABCDEF, the firmware
// stores the first field little-endian.
const std::vector<uint8_t> kAwsUuid = {0x45, 0xE1, 0x2A, 0xEC, 0xDC, 0xD1, 0xB2, 0x13,
                                       0x94, 0xED, 0x01, 0x23, 0x45, 0xAB, 0xCD, 0xEF};
// The same instance on SMBIOS 2.4, stored as written: Windows shows 45E12AEC-DCD1-B213-94ED-012345ABCDEF.
const std::vector<uint8_t> kAwsUuidAsWritten = {0xEC, 0x2A, 0xE1, 0x45, 0xD1, 0xDC, 0x13, 0xB2,
                                                0x94, 0xED, 0x01, 0x23, 0x45, 0xAB, 0xCD, 0xEF};
// A Hyper-V machine's.
const std::vector<uint8_t> kOtherUuid = {0x9B, 0x4F, 0x1C, 0x6A, 0x3E, 0x2D, 0x4B, 0x11,
                                         0x8F, 0x0C, 0xEC, 0x2A, 0x77, 0x10, 0x02, 0x5E};

TEST(HostFacts, CloudsByFirmwareAndOrdinaryMachines) {
    EXPECT_EQ(CloudOf(L"Alibaba Cloud", L"Alibaba Cloud ECS", L"", {}, L""), L"阿里云");
    EXPECT_EQ(CloudOf(L"Tencent Cloud", L"CVM", L"", {}, L""), L"腾讯云");
    EXPECT_EQ(CloudOf(L"Amazon EC2", L"t3.medium", L"", {}, L""), L"AWS");
    EXPECT_EQ(CloudOf(L"Xen", L"HVM domU", L"", kAwsUuidAsWritten, L""), L"AWS");
    EXPECT_EQ(CloudOf(L"Google", L"Google Compute Engine", L"", {}, L""), L"Google Cloud");
    EXPECT_EQ(CloudOf(L"Google", L"Google", L"", {}, L""), L"Google Cloud");
    EXPECT_EQ(CloudOf(L"Google", L"", L"", {}, L"GoogleCloud-4F2A0E7B1C"), L"Google Cloud");
    EXPECT_EQ(CloudOf(L"Microsoft Corporation", L"Virtual Machine", L"7783-7084-3265-9085-8269-3286-77", {}, L""),
              L"Azure");
    EXPECT_EQ(CloudOf(L"OpenStack Foundation", L"OpenStack Nova", L"HUAWEICLOUD", {}, L""), L"华为云");
    for (const auto& [manufacturer, product, tag] : std::vector<std::tuple<std::wstring, std::wstring, std::wstring>>{
             {L"Microsoft Corporation", L"Virtual Machine", L""},  // plain Hyper-V
             {L"OpenStack Foundation", L"OpenStack Nova", L""},    // plain OpenStack
             {L"Xen", L"HVM domU", L""},                           // Xen is not AWS's alone
             {L"VMware, Inc.", L"VMware7,1", L"No Asset Tag"},
             {L"Dell Inc.", L"PowerEdge R740", L""},
             {L"Alibaba Cloud", L"", L""},
             {L"Google", L"Pixelbook", L""},
             {L"", L"", L""}}) {
        EXPECT_EQ(CloudOf(manufacturer, product, tag, kOtherUuid, L""), L"")
            << manufacturer.size() << " " << product.size();
    }
}

// "EC2" at the start of the UUID as Windows writes it, whichever way the firmware stored the first field; not
// anywhere else, and not "EC3".
TEST(Smbios, AwsSystemUuidInEitherByteOrder) {
    const auto with = [](std::vector<uint8_t> uuid, std::size_t at, std::initializer_list<uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), uuid.begin() + static_cast<std::ptrdiff_t>(at));
        return uuid;
    };
    const struct {
        const char* name;
        std::vector<uint8_t> uuid;
        bool aws;
    } cases[] = {
        {"little-endian (SMBIOS 2.6 and later)", kAwsUuid, true},
        {"as written (SMBIOS 2.4)", kAwsUuidAsWritten, true},
        {"a Hyper-V machine's", kOtherUuid, false},
        {"EC3, little-endian", with(kAwsUuid, 2, {0x3A}), false},
        {"EC3, as written", with(kAwsUuidAsWritten, 1, {0x3A}), false},
        {"EC2 in the second field", with(kOtherUuid, 4, {0xEC, 0x2A}), false},
        {"none", {}, false},
    };
    for (const auto& c : cases) EXPECT_EQ(SystemUuidBeginsWithEc2(c.uuid), c.aws) << c.name;
}

TEST(HostFacts, DynamicRangeBothEnds) {
    EXPECT_FALSE(InDynamicRange(49151, kDefaultDynamicRange));
    EXPECT_TRUE(InDynamicRange(49152, kDefaultDynamicRange));
    EXPECT_TRUE(InDynamicRange(65535, kDefaultDynamicRange));
    const DynamicPortRange moved = {10000, 1000};
    EXPECT_FALSE(InDynamicRange(9999, moved));
    EXPECT_TRUE(InDynamicRange(10000, moved));
    EXPECT_TRUE(InDynamicRange(10999, moved));
    EXPECT_FALSE(InDynamicRange(11000, moved));
    EXPECT_FALSE(InDynamicRange(10000, DynamicPortRange{}));
}

// An SMBIOS table as the firmware hands it over: a system record (type 1, with the UUID when one is given, as
// from SMBIOS 2.1 on), a chassis record (type 3) whose fourth byte after the header names its asset tag among
// its strings, and the end.
std::vector<uint8_t> Smbios(uint8_t assetTagString, const std::vector<std::string>& chassisStrings,
                            const std::vector<uint8_t>& uuid = {}) {
    std::vector<uint8_t> structures = {1, 8, 0, 0, 1, 2, 0, 0};  // type 1: manufacturer 1, product 2
    if (!uuid.empty()) {
        structures[1] = 0x1B;
        structures.insert(structures.end(), uuid.begin(), uuid.end());
        structures.insert(structures.end(), {0, 0, 0});  // wake-up type, SKU, family
    }
    for (const char* text : {"Microsoft Corporation", "Virtual Machine"}) {
        structures.insert(structures.end(), text, text + std::char_traits<char>::length(text) + 1);
    }
    structures.push_back(0);
    const std::vector<uint8_t> chassis = {3, 9, 1, 0, 1, 3, 0, 0, assetTagString};
    structures.insert(structures.end(), chassis.begin(), chassis.end());
    for (const std::string& text : chassisStrings)
        structures.insert(structures.end(), text.c_str(), text.c_str() + text.size() + 1);
    if (chassisStrings.empty()) structures.push_back(0);
    structures.push_back(0);
    structures.insert(structures.end(), {127, 4, 2, 0, 0, 0});
    std::vector<uint8_t> raw = {0, 3, 4, 0, static_cast<uint8_t>(structures.size()), 0, 0, 0};
    raw.insert(raw.end(), structures.begin(), structures.end());
    return raw;
}

TEST(Smbios, ChassisAssetTagFromTheFirmwareTable) {
    EXPECT_EQ(ChassisAssetTag(Smbios(2, {"Microsoft Corporation", "7783-7084-3265-9085-8269-3286-77"})),
              L"7783-7084-3265-9085-8269-3286-77");
    EXPECT_EQ(ChassisAssetTag(Smbios(0, {"Microsoft Corporation"})), L"") << "no asset tag";
    EXPECT_EQ(ChassisAssetTag(Smbios(3, {"one"})), L"") << "a string number past the strings";
    EXPECT_EQ(ChassisAssetTag(Smbios(1, {})), L"") << "no strings at all";
    std::vector<uint8_t> cut = Smbios(2, {"x", "HUAWEICLOUD"});
    cut.resize(20);  // ends inside the first record
    EXPECT_EQ(ChassisAssetTag(cut), L"");
    EXPECT_EQ(ChassisAssetTag({}), L"");
}

TEST(Smbios, SystemSerialNumberFromTheFirmwareTable) {
    std::vector<uint8_t> table = Smbios(0, {});
    EXPECT_EQ(SystemSerialNumber(table), L"") << "none named";
    table[8 + 7] = 2;  // the system record's serial number: its second string
    EXPECT_EQ(SystemSerialNumber(table), L"Virtual Machine");
    table[8 + 7] = 3;
    EXPECT_EQ(SystemSerialNumber(table), L"") << "a string number past the strings";
}

TEST(Smbios, SystemUuidFromTheFirmwareTable) {
    const std::vector<uint8_t> table = Smbios(2, {"Xen", "HVM domU"}, kAwsUuidAsWritten);
    EXPECT_EQ(SystemUuid(table), kAwsUuidAsWritten);
    EXPECT_EQ(ChassisAssetTag(Smbios(2, {"Xen", "EC2 asset"}, kAwsUuid)), L"EC2 asset") << "the records after it";
    EXPECT_EQ(SystemUuid(Smbios(2, {"x"})), std::vector<uint8_t>{}) << "a record older than SMBIOS 2.1";
    std::vector<uint8_t> cut = table;
    cut.resize(20);  // ends inside the UUID
    EXPECT_EQ(SystemUuid(cut), std::vector<uint8_t>{});
}

class HostChecksTest : public ChangeTest {};

// An ordinary machine: Professional, Remote Desktop on, no cloud, a port below the range. Nothing more is
// asked and nothing more logged; values that cannot be read ask nothing either.
TEST_F(HostChecksTest, AnOrdinaryMachineOrUnreadableValuesAskNothing) {
    world.registry[kDenyConnectionsPath] = Dword(0);
    world.registry[kEditionIdPath] = Sz(L"Professional");
    world.registry[kSystemManufacturerPath] = Sz(L"Microsoft Corporation");
    world.registry[kSystemProductPath] = Sz(L"Virtual Machine");
    world.dynamicRange = DynamicPortRange{49152, 16384};
    Change(L"49151", {kNo});
    EXPECT_TRUE(Questions().empty());
    EXPECT_EQ(view.log, kStartLog + SuccessLines(L"49151"));

    view.log = kStartLog;
    world.messages.clear();
    world.registry[kDenyConnectionsPath] = Sz(L"1");  // not a number: as good as none
    for (const wchar_t* path : {kEditionIdPath, kDenyConnectionsPolicyPath, kSystemManufacturerPath})
        world.failing.insert(L"regread " + std::wstring(path));
    Change(L"3391", {kNo});
    EXPECT_TRUE(Questions().empty());
    EXPECT_EQ(view.log, kStartLog + SuccessLines(L"3391"));
}

// Start-up: Remote Desktop's service listens on the old port until the restart.
TEST(PendingPort, ListeningPendingAndUnreadable) {
    FakeWorld world;
    FakePlatform platform(world);
    EXPECT_EQ(PendingPortLine(platform, 3390), std::nullopt) << "the service does not run";

    world.ListenAsRemoteDesktop(3389);
    world.ListenAsRemoteDesktop(3389);  // IPv6 beside IPv4
    world.Listen(3390, 4321);           // another program's
    EXPECT_EQ(PendingPortLine(platform, 3390),
              L"远程桌面现在仍在端口 3389 上侦听，已设置的端口 3390 在重启计算机后生效");
    EXPECT_EQ(PendingPortLine(platform, 3389), std::nullopt) << "listening where configured";

    world.failListeners = true;
    EXPECT_EQ(PendingPortLine(platform, 3390), std::nullopt);
    world.failListeners = false;
    world.listeners.clear();
    EXPECT_EQ(PendingPortLine(platform, 3390), std::nullopt) << "listening nowhere (turned off)";

    // At start-up the line follows the first; nothing when the port could not be read.
    world.ListenAsRemoteDesktop(3389);
    world.registry[kRdpTcpPortPath] = Dword(3390);
    FakeView view;
    ReportPendingPort(platform, view, RunStartup(platform, view));
    EXPECT_EQ(view.log, kStartLog + L"远程桌面现在仍在端口 3389 上侦听，已设置的端口 3390 在重启计算机后生效\r\n");
    view.log = kStartLog;
    ReportPendingPort(platform, view, std::nullopt);
    EXPECT_EQ(view.log, kStartLog);
}

}  // namespace
}  // namespace korvane::testing
