#pragma once
// SIGTERM (the session's end, systemd, `kill`), SIGINT (Ctrl+C in a terminal) and SIGHUP (the
// terminal or the session gone) turned into a request that the GUI thread answers. The handler
// only writes the signal's number into a pipe; a notifier on the pipe's other end runs the
// request from the event loop, where anything may be done.
#include <signal.h>

#include <QSocketNotifier>
#include <array>
#include <functional>
#include <memory>

namespace ups {

class TerminationSignals {
public:
    TerminationSignals() = default;
    // The signals' earlier actions come back and the pipe is closed.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Call on the thread that runs the event loop, once. False when the pipe or a handler cannot
    // be had; the signals then keep their default actions.
    bool watch(std::function<void()> request);

private:
    static constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

    void drain();
    void restore();

    std::function<void()> request_;
    int pipe_[2] = {-1, -1};
    std::array<struct sigaction, kSignals.size()> previous_{};
    std::array<bool, kSignals.size()> installed_{};
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ups
