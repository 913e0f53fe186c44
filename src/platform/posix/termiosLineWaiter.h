#pragma once
// The wait on a tty's CTS and DCD (TIOCMIWAIT) for the line watcher's thread.
// - TIOCMIWAIT sees only changes after it begins: where the driver counts changes (TIOCGICOUNT), a
//   change between the last read and the wait ends the wait at once.
// - The waiter keeps a duplicate of the port's descriptor, so closing the port cannot hand the
//   number to another file under the wait.
// - TIOCMIWAIT ends only on a change, an error or a signal, and closing a descriptor does not wake
//   it: cancel() sends the waiting thread a signal whose handler does nothing and that restarts
//   nothing (SIGURG, ignored by default, so a stray one harms no other thread), again and again
//   until the thread is out of the wait, since one sent just before it enters would be lost.
#include <pthread.h>

#include <condition_variable>
#include <mutex>

#include "links/serialDriver.h"

namespace ups {

class TermiosLineWaiter : public SerialLineWaiter {
public:
    // Takes a duplicate of `fd`; valid() is false when that failed.
    explicit TermiosLineWaiter(int fd);
    ~TermiosLineWaiter() override;
    TermiosLineWaiter(const TermiosLineWaiter&) = delete;
    TermiosLineWaiter& operator=(const TermiosLineWaiter&) = delete;

    bool valid() const { return fd_ >= 0; }
    LineWaitEnd waitForChange() override;
    ModemInputs readInputs() override;
    void cancel() override;

private:
    bool changedSinceRead() const;

    int fd_ = -1;
    std::mutex mutex_;
    std::condition_variable left_;
    bool cancelled_ = false;
    bool waiting_ = false;
    pthread_t thread_{};
    // The driver's change counts at the last read, when it keeps them.
    bool counted_ = false;
    int ctsChanges_ = 0;
    int dcdChanges_ = 0;
};

}  // namespace ups
