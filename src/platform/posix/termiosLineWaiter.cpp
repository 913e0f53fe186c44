#include "platform/posix/termiosLineWaiter.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>

namespace ups {

namespace {

constexpr int kWakeSignal = SIGURG;
// How long cancel() gives one signal before it sends the next.
constexpr auto kResendAfter = std::chrono::milliseconds(2);

extern "C" void onWakeSignal(int) {}

void installWakeHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = onWakeSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;  // no SA_RESTART: the wait must come back with EINTR
        ::sigaction(kWakeSignal, &action, nullptr);
    });
}

}  // namespace

TermiosLineWaiter::TermiosLineWaiter(int fd) : fd_(::fcntl(fd, F_DUPFD_CLOEXEC, 0)) {
    installWakeHandler();
}

TermiosLineWaiter::~TermiosLineWaiter() {
    cancel();
    if (fd_ >= 0) ::close(fd_);
}

LineWaitEnd TermiosLineWaiter::waitForChange() {
    {
        std::lock_guard lock(mutex_);
        if (cancelled_ || fd_ < 0) return LineWaitEnd::Cancelled;
        if (changedSinceRead()) return LineWaitEnd::Changed;
        waiting_ = true;
        thread_ = pthread_self();
    }
    // The thread may have been started with the signal blocked (a Qt or test thread's mask).
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, kWakeSignal);
    pthread_sigmask(SIG_UNBLOCK, &wake, nullptr);
    const int result = ::ioctl(fd_, TIOCMIWAIT, TIOCM_CTS | TIOCM_CAR);
    const int error = errno;

    std::lock_guard lock(mutex_);
    waiting_ = false;
    left_.notify_all();
    if (cancelled_) return LineWaitEnd::Cancelled;
    // Another signal (one the process handles without restarting) only makes the watcher read
    // again, which is harmless.
    if (result == 0 || error == EINTR) return LineWaitEnd::Changed;
    // EIO or ENODEV from a pulled adapter; ENOTTY or EINVAL from a tty that cannot wait.
    return LineWaitEnd::Failed;
}

bool TermiosLineWaiter::changedSinceRead() const {
    serial_icounter_struct counts{};
    return counted_ && ::ioctl(fd_, TIOCGICOUNT, &counts) == 0 &&
           (counts.cts != ctsChanges_ || counts.dcd != dcdChanges_);
}

ModemInputs TermiosLineWaiter::readInputs() {
    serial_icounter_struct counts{};
    counted_ = fd_ >= 0 && ::ioctl(fd_, TIOCGICOUNT, &counts) == 0;
    ctsChanges_ = counts.cts;
    dcdChanges_ = counts.dcd;
    int status = 0;
    if (fd_ < 0 || ::ioctl(fd_, TIOCMGET, &status) != 0) return {kSioSystemError, kSioSystemError};
    return {(status & TIOCM_CTS) ? 1 : 0, (status & TIOCM_CAR) ? 1 : 0};
}

void TermiosLineWaiter::cancel() {
    std::unique_lock lock(mutex_);
    cancelled_ = true;
    while (waiting_) {
        pthread_kill(thread_, kWakeSignal);
        left_.wait_for(lock, kResendAfter);
    }
}

}  // namespace ups
