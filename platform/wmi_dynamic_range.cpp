#include "platform/wmi_dynamic_range.h"

#include <algorithm>

namespace korvane {

namespace {

// The longest single wait for WMI: the loop looks at the deadline at least this often.
constexpr uint64_t kLongestWaitMs = 1000;

bool IsValid(const TcpSettingRange& setting) {
    if (!setting.start || !setting.count) return false;
    const int64_t start = *setting.start, count = *setting.count;
    return start >= 1 && count >= 1 && start + count <= 65536;
}

}  // namespace

uint32_t CollectDynamicRange(TcpSettingEnumerator& settings, uint64_t deadlineMs, DynamicPortRange& range) {
    uint32_t first = 0, end = 0;  // the ports from `first` up to, not including, `end`
    for (;;) {
        const uint64_t now = settings.NowMs();
        if (now >= deadlineMs) return kDynamicRangeTimedOut;
        const auto wait = static_cast<uint32_t>(std::min(deadlineMs - now, kLongestWaitMs));
        TcpSettingRange setting;
        uint32_t code = 0;
        switch (settings.Next(wait, setting, code)) {
            case TcpSettingEnumerator::Answer::Setting:
                if (IsValid(setting)) {
                    const auto from = static_cast<uint32_t>(*setting.start);
                    const uint32_t to = from + static_cast<uint32_t>(*setting.count);
                    first = end == 0 ? from : std::min(first, from);
                    end = std::max(end, to);
                }
                break;
            case TcpSettingEnumerator::Answer::TimedOut:
                break;
            case TcpSettingEnumerator::Answer::End:
                if (end == 0) return kDynamicRangeNotFound;
                range = {static_cast<uint16_t>(first), end - first};
                return 0;
            case TcpSettingEnumerator::Answer::Failed:
                return code != 0 ? code : 0x80004005u;  // E_FAIL: a failure never reads as success
        }
    }
}

}  // namespace korvane
