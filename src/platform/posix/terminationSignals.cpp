#include "platform/posix/terminationSignals.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iterator>
#include <system_error>

namespace ups {

namespace {

// The pipe's writing end as the handler sees it: one process, one watcher.
volatile std::sig_atomic_t gWriteEnd = -1;

// Async-signal-safe: one write, errno kept. A full pipe already holds a request.
extern "C" void onTerminationSignal(int signal) {
    const int savedErrno = errno;
    const int fd = gWriteEnd;
    if (fd >= 0) {
        const unsigned char octet = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(fd, &octet, 1);
    }
    errno = savedErrno;
}

}  // namespace

TerminationSignals::~TerminationSignals() {
    restore();
}

bool TerminationSignals::watch(std::function<void()> request) {
    if (pipe_[0] >= 0 || gWriteEnd >= 0) return false;
    if (::pipe2(pipe_, O_NONBLOCK | O_CLOEXEC) != 0) {
        pipe_[0] = pipe_[1] = -1;
        return false;
    }
    request_ = std::move(request);
    receiver_ = std::make_unique<QObject>();
    try {
        waiter_ = std::thread([this] { waitForSignals(); });
    } catch (const std::system_error&) {
        restore();
        return false;
    }
    gWriteEnd = pipe_[1];
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls: a signal must not fail a read or a write the monitor is in the middle of.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if (::sigaction(kSignals[i], nullptr, &previous_[i]) != 0) {
            restore();
            return false;
        }
        installed_[i] = true;
        // A signal the starter chose to ignore stays ignored (nohup, a shell's background job).
        if (previous_[i].sa_handler == SIG_IGN) continue;
        if (::sigaction(kSignals[i], &action, nullptr) != 0) {
            restore();
            return false;
        }
    }
    return true;
}

// The waiting thread only learns that a signal came; the GUI thread empties the pipe when it
// answers, so that several signals before the event loop comes round are one request.
void TerminationSignals::waitForSignals() {
    pollfd readable{pipe_[0], POLLIN, 0};
    while (!ending_.load()) {
        readable.revents = 0;
        const int ready = ::poll(&readable, 1, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || ending_.load()) return;
        queued_.store(true);
        // The end may have come between the wait and the line above, its release of the hold
        // already spent: nobody would answer.
        if (ending_.load()) return;
        QMetaObject::invokeMethod(
            receiver_.get(), [this] { answer(); }, Qt::QueuedConnection);
        queued_.wait(true);
    }
}

void TerminationSignals::answer() {
    unsigned char octets[64];
    bool any = false;
    while (true) {
        const ssize_t n = ::read(pipe_[0], octets, sizeof octets);
        if (n > 0) {
            any = true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;
    }
    queued_.store(false);
    queued_.notify_one();
    if (any && request_) request_();
}

void TerminationSignals::restore() {
    if (pipe_[0] < 0) return;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if (installed_[i]) ::sigaction(kSignals[i], &previous_[i], nullptr);
        installed_[i] = false;
    }
    gWriteEnd = -1;
    if (waiter_.joinable()) {
        ending_.store(true);
        const unsigned char wake = 0;
        // A full pipe wakes the thread as well as this byte would.
        [[maybe_unused]] const ssize_t written = ::write(pipe_[1], &wake, 1);
        queued_.store(false);
        queued_.notify_one();
        waiter_.join();
    }
    // A request still queued goes with its receiver.
    receiver_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
    pipe_[0] = pipe_[1] = -1;
    ending_.store(false);
    queued_.store(false);
}

}  // namespace ups
