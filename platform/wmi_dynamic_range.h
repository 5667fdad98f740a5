// Reading the dynamic port range from the TCP settings WMI reports (MSFT_NetTCPSetting), however slowly WMI
// answers: portable, so that the loop over WMI's answers is tested on any machine with an enumerator of the
// tests' own. platform/win32/dynamic_range_win32.cpp feeds it WMI's real enumerator.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace korvane {

// One TCP setting's dynamic range; a property the setting leaves unset is none.
struct TcpSettingRange {
    std::optional<int32_t> start;
    std::optional<int32_t> count;
};

// The settings of one query, one at a time, as IEnumWbemClassObject::Next hands them over.
class TcpSettingEnumerator {
public:
    enum class Answer {
        Setting,   // one setting, in `setting`
        TimedOut,  // none within the time given, the enumeration not ended (WBEM_S_TIMEDOUT)
        End,       // no more settings (WBEM_S_FALSE)
        Failed,    // WMI failed; `code` is its HRESULT
    };
    virtual ~TcpSettingEnumerator() = default;
    virtual Answer Next(uint32_t timeoutMs, TcpSettingRange& setting, uint32_t& code) = 0;
    // The moment now, in milliseconds, on the clock the deadline of the enumeration is counted on.
    virtual uint64_t NowMs() = 0;
};

// What CollectDynamicRange returns when no answer came in time (HRESULT_FROM_WIN32(ERROR_TIMEOUT)), and when
// the enumeration ended without a valid range (WBEM_E_NOT_FOUND).
constexpr uint32_t kDynamicRangeTimedOut = 0x800705B4u;
constexpr uint32_t kDynamicRangeNotFound = 0x80041002u;

// Reads settings until the end of the enumeration, going on after answers that only say WMI needs longer (a
// cold WMI, just after boot), until `deadlineMs` by the enumeration's clock. Every setting with a valid range counts; should
// two differ, the range covers both. 0 and `range` when a range was reported; otherwise the HRESULT of what
// went wrong, `range` untouched.
uint32_t CollectDynamicRange(TcpSettingEnumerator& settings, uint64_t deadlineMs, DynamicPortRange& range);

}  // namespace korvane
