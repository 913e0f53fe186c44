#pragma once
// The wait on a COM port's CTS and DCD (RLSD) for the line watcher's thread: WaitCommEvent,
// overlapped, on a duplicate of the port's handle, so closing the port cannot pull the handle from
// under the wait. cancel() sets an event the wait also waits on; the wait then ends its own request
// (by clearing the port's event mask, which also ends it under Wine) and waits for it to end
// before it returns, so nothing still writes into its OVERLAPPED.
#include <windows.h>

#include "links/serialDriver.h"

namespace ups {

class Win32LineWaiter : public SerialLineWaiter {
public:
    // Takes a duplicate of `port` (opened overlapped) and asks it for CTS and RLSD changes;
    // valid() is false when that failed.
    explicit Win32LineWaiter(HANDLE port);
    ~Win32LineWaiter() override;
    Win32LineWaiter(const Win32LineWaiter&) = delete;
    Win32LineWaiter& operator=(const Win32LineWaiter&) = delete;

    bool valid() const { return valid_; }
    LineWaitEnd waitForChange() override;
    ModemInputs readInputs() override;
    void cancel() override;

private:
    HANDLE port_ = INVALID_HANDLE_VALUE;
    HANDLE cancel_ = nullptr;  // manual reset: once set, every later wait ends at once
    HANDLE done_ = nullptr;    // the overlapped request's end
    bool valid_ = false;
};

}  // namespace ups
