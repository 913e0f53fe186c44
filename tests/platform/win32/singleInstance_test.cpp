#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/win32/win32SingleInstance.h"

namespace ups {
namespace {

struct Requests {
    std::mutex mutex;
    std::condition_variable changed;
    int shown = 0;
    int ended = 0;
    void add(int& count) {
        std::lock_guard lock(mutex);
        ++count;
        changed.notify_all();
    }
    bool waitFor(const int& count, int wanted) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), [&] { return count >= wanted; });
    }
};

// Names of this test's own, so that a monitor of the prefix is not disturbed; another session is
// a session namespace without the running monitor's show event.
Win32SingleInstance::Names names(const wchar_t* session) {
    const std::wstring id = std::to_wstring(GetCurrentProcessId());
    return {L"Global\\KorvanUpsTest.Monitor" + id, std::wstring(session) + L"KorvanUpsTest" + id,
            L"Global\\KorvanUpsTest.Finalizar" + id};
}

// The first start is the monitor; a later one of its session has the window shown; one of another
// session learns that it runs elsewhere; the installer's event (set as korvan-ups.nsi sets it)
// asks it to end; once it has ended the next start is the monitor.
TEST(Win32SingleInstance, OneMonitorPerMachineShownToItsSessionAndEndedByTheInstaller) {
    Requests requests;
    {
        Win32SingleInstance running(names(L"Local\\"));
        ASSERT_EQ(running.claim([&] { requests.add(requests.shown); },
                                [&] { requests.add(requests.ended); }),
                  InstanceClaim::First);
        Win32SingleInstance again(names(L"Local\\"));
        EXPECT_EQ(again.claim({}, {}), InstanceClaim::ShownRunning);
        EXPECT_TRUE(requests.waitFor(requests.shown, 1));
        Win32SingleInstance elsewhere(names(L"Local\\Other"));
        EXPECT_EQ(elsewhere.claim({}, {}), InstanceClaim::RunningElsewhere);

        HANDLE end = OpenEventW(EVENT_MODIFY_STATE, FALSE, names(L"").end.c_str());
        ASSERT_NE(end, nullptr);
        SetEvent(end);
        CloseHandle(end);
        EXPECT_TRUE(requests.waitFor(requests.ended, 1));
    }
    Win32SingleInstance next(names(L"Local\\Other"));
    EXPECT_EQ(next.claim({}, {}), InstanceClaim::First);
    EXPECT_EQ(requests.shown, 1);
    EXPECT_EQ(requests.ended, 1);
}

}  // namespace
}  // namespace ups
