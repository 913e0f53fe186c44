// The signals that ask the monitor to end: each reaches the event loop as one request and the
// process lives on to end in order; a signal its starter ignored stays ignored; the earlier actions
// come back with the watcher's end.
#include "platform/posix/terminationSignals.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace ups {
namespace {

void ensureApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "test_platform";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}

sighandler_t disposition(int signal) {
    struct sigaction now {};
    sigaction(signal, nullptr, &now);
    return now.sa_handler;
}

// The handler writes during raise(), so the notifier is ready at the loop's next look; the wait
// only bounds a failing test.
int requestsAfterLoop(const int& requests, int expected) {
    QDeadlineTimer deadline(2000);
    while (requests < expected && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    return requests;
}

struct SignalCase {
    int signal;
    sighandler_t before;  // as the monitor's starter left it
    int requests;         // for two signals raised before the loop runs
};

TEST(TerminationSignals, EachSignalIsOneRequestAndTheProcessLivesOn) {
    ensureApplication();
    const SignalCase cases[] = {
        {SIGTERM, SIG_DFL, 1}, {SIGINT, SIG_DFL, 1}, {SIGHUP, SIG_DFL, 1}, {SIGHUP, SIG_IGN, 0}};
    for (const SignalCase& c : cases) {
        signal(c.signal, c.before);
        int requests = 0;
        {
            TerminationSignals watcher;
            ASSERT_TRUE(watcher.watch([&requests] { ++requests; }));
            ASSERT_EQ(raise(c.signal), 0);
            ASSERT_EQ(raise(c.signal), 0);
            EXPECT_EQ(requestsAfterLoop(requests, c.requests), c.requests) << strsignal(c.signal);
        }
        EXPECT_EQ(disposition(c.signal), c.before) << strsignal(c.signal);
    }
    signal(SIGHUP, SIG_DFL);
}

}  // namespace
}  // namespace ups
