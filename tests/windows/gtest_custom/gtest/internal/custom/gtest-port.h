// GoogleTest's customisation point, used when it is built for Windows with mingw-w64's win32 thread model,
// whose C++ library has no std::mutex: GoogleTest's Notification (which only its own thread helper uses) is
// given here without it. Its Windows mutexes need nothing of the C++ library.
#pragma once

#if defined(__MINGW32__)
#define GTEST_HAS_NOTIFICATION_ 1

extern "C" __declspec(dllimport) void __stdcall Sleep(unsigned long milliseconds);

namespace testing {
namespace internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { __atomic_store_n(&notified_, true, __ATOMIC_SEQ_CST); }
    void WaitForNotification() {
        while (!__atomic_load_n(&notified_, __ATOMIC_SEQ_CST)) Sleep(1);
    }

private:
    bool notified_ = false;
};

}  // namespace internal
}  // namespace testing
#endif
