#pragma once
// SIGTERM (the session's end, systemd, `kill`), SIGINT (Ctrl+C in a terminal) and SIGHUP (the
// terminal or the session gone) turned into a request that the GUI thread answers. The handler
// only writes the signal's number into a pipe. A thread of its own waits on the pipe's other end
// and hands the request to the event loop, where anything may be done: the pipe is not among what
// the event loop waits on, so an idle wake-up of the monitor looks at nothing more than a bare
// application's does.
#include <signal.h>

#include <QObject>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace ups {

class TerminationSignals {
public:
    TerminationSignals() = default;
    // The signals' earlier actions come back, the waiting thread ends and the pipe is closed.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Call on the thread that runs the event loop, once. False when the pipe, the thread or a
    // handler cannot be had; the signals then keep their default actions.
    bool watch(std::function<void()> request);

private:
    static constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

    void waitForSignals();
    void answer();
    void restore();

    std::function<void()> request_;
    int pipe_[2] = {-1, -1};
    std::array<struct sigaction, kSignals.size()> previous_{};
    std::array<bool, kSignals.size()> installed_{};
    // Lives on the watching thread: requests are queued to it.
    std::unique_ptr<QObject> receiver_;
    std::thread waiter_;
    // A request is queued and not yet answered: the waiting thread holds until it is, and
    // signals until then are part of it.
    std::atomic<bool> queued_{false};
    std::atomic<bool> ending_{false};
};

}  // namespace ups
