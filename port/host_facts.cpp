#include "port/host_facts.h"

#include "platform/smbios.h"

namespace korvane {

RemoteDesktopSwitch RemoteDesktopSwitchOf(std::optional<uint32_t> local, std::optional<uint32_t> policy) {
    if (policy) return *policy == 1 ? RemoteDesktopSwitch::OffByPolicy : RemoteDesktopSwitch::On;
    return local && *local == 1 ? RemoteDesktopSwitch::OffHere : RemoteDesktopSwitch::On;
}

bool IsHomeEdition(const std::wstring& editionId) {
    return editionId.rfind(L"Core", 0) == 0 || editionId == L"HomeBasic" || editionId == L"HomePremium" ||
           editionId == L"Starter";
}

std::wstring CloudOf(const std::wstring& manufacturer, const std::wstring& product, const std::wstring& assetTag,
                     const std::vector<uint8_t>& systemUuid, const std::wstring& serialNumber) {
    if (manufacturer == L"Alibaba Cloud" && product == L"Alibaba Cloud ECS") return L"阿里云";
    if (manufacturer == L"Tencent Cloud" && product == L"CVM") return L"腾讯云";
    // AWS's Nitro instances report "Amazon EC2"; its Xen instances report "Xen", as any Xen machine does, and
    // are told by the system UUID AWS gives every instance, which begins with "EC2".
    if (manufacturer == L"Amazon EC2" || SystemUuidBeginsWithEc2(systemUuid)) return L"AWS";
    // Google's machines report "Google Compute Engine", some only "Google", or a serial number of their own.
    if (manufacturer == L"Google" &&
        (product == L"Google Compute Engine" || product == L"Google" || serialNumber.rfind(L"GoogleCloud-", 0) == 0)) {
        return L"Google Cloud";
    }
    // Azure's virtual machines report Hyper-V's "Microsoft Corporation" and "Virtual Machine", but Azure
    // writes its own tag into the chassis record; Huawei Cloud's OpenStack machines carry "HUAWEICLOUD".
    if (assetTag == L"7783-7084-3265-9085-8269-3286-77") return L"Azure";
    if (assetTag == L"HUAWEICLOUD") return L"华为云";
    return {};
}

std::wstring CloudInboundRulesPlace(const std::wstring& cloud) {
    // Alibaba's and Tencent's lightweight servers (轻量应用服务器) have a 防火墙 page instead of security groups;
    // their firmware cannot be told from that of the ordinary instances.
    const struct {
        const wchar_t* cloud;
        const wchar_t* place;
    } kPlaces[] = {
        {L"阿里云", L"阿里云控制台的安全组入方向规则（轻量应用服务器在“防火墙”页）"},
        {L"腾讯云", L"腾讯云控制台的安全组入站规则（轻量应用服务器在“防火墙”页）"},
        {L"华为云", L"华为云控制台的安全组入方向规则"},
        {L"AWS", L"AWS 控制台的安全组入站规则"},
        {L"Azure", L"Azure 门户中网络安全组（NSG）的入站安全规则"},
        {L"Google Cloud", L"Google Cloud 控制台的 VPC 防火墙规则"},
    };
    for (const auto& known : kPlaces) {
        if (cloud == known.cloud) return known.place;
    }
    return {};
}

bool InDynamicRange(uint16_t port, const DynamicPortRange& range) {
    return range.count > 0 && port >= range.start && static_cast<uint32_t>(port) < uint32_t{range.start} + range.count;
}

}  // namespace korvane
