#include "platform/posix/singleInstance.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "support/tempDir.h"

using namespace ups;

namespace {

// Counts the requests to show the window, which come on the listener's thread.
struct ShowRequests {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
    void add() {
        std::lock_guard lock(mutex);
        ++count;
        changed.notify_all();
    }
    bool waitFor(int wanted) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(5), [&] { return count >= wanted; });
    }
};

// One machine's lock, two sessions: the first start is the monitor; a later start of its session
// has the window shown and ends, one from the other session learns that the monitor runs
// elsewhere; once the monitor has ended, the next start is the monitor again.
TEST(PosixSingleInstance, OneMonitorPerMachineAndItsSessionMayAskForTheWindow) {
    test::TempDir dir{"ups-instance"};
    const std::string lock = (dir.path / "korvan-ups.lock").string();
    const std::string session = "test-" + std::to_string(::getpid());
    ShowRequests shown;
    {
        PosixSingleInstance running(lock, session + "/:1");
        ASSERT_EQ(running.claim([&] { shown.add(); }), InstanceClaim::First);
        PosixSingleInstance again(lock, session + "/:1");
        EXPECT_EQ(again.claim([] {}), InstanceClaim::ShownRunning);
        EXPECT_TRUE(shown.waitFor(1));
        PosixSingleInstance elsewhere(lock, session + "/:2");
        EXPECT_EQ(elsewhere.claim([] {}), InstanceClaim::RunningElsewhere);
    }
    PosixSingleInstance next(lock, session + "/:2");
    EXPECT_EQ(next.claim([] {}), InstanceClaim::First);
    EXPECT_EQ(shown.count, 1);
}

}  // namespace
