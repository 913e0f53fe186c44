#include "platform/win32/win32LineWaiter.h"

namespace ups {

Win32LineWaiter::Win32LineWaiter(HANDLE port) {
    const HANDLE self = GetCurrentProcess();
    if (!DuplicateHandle(self, port, self, &port_, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        port_ = INVALID_HANDLE_VALUE;
        return;
    }
    cancel_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    done_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    valid_ = cancel_ != nullptr && done_ != nullptr && SetCommMask(port_, EV_CTS | EV_RLSD);
}

Win32LineWaiter::~Win32LineWaiter() {
    if (port_ != INVALID_HANDLE_VALUE) CloseHandle(port_);
    if (cancel_ != nullptr) CloseHandle(cancel_);
    if (done_ != nullptr) CloseHandle(done_);
}

LineWaitEnd Win32LineWaiter::waitForChange() {
    if (!valid_ || WaitForSingleObject(cancel_, 0) == WAIT_OBJECT_0) return LineWaitEnd::Cancelled;
    OVERLAPPED request{};
    request.hEvent = done_;
    ResetEvent(done_);
    DWORD events = 0;
    DWORD ignored = 0;
    if (!WaitCommEvent(port_, &events, &request)) {
        if (GetLastError() != ERROR_IO_PENDING) return LineWaitEnd::Failed;
        const HANDLE ends[] = {done_, cancel_};
        const DWORD which = WaitForMultipleObjects(2, ends, FALSE, INFINITE);
        if (which != WAIT_OBJECT_0) {
            // Clearing the mask ends a pending WaitCommEvent; Wine's CancelIo leaves it pending.
            SetCommMask(port_, 0);
            CancelIo(port_);
            GetOverlappedResult(port_, &request, &ignored, TRUE);
            return which == WAIT_OBJECT_0 + 1 ? LineWaitEnd::Cancelled : LineWaitEnd::Failed;
        }
        // A pulled adapter ends the request with an error.
        if (!GetOverlappedResult(port_, &request, &ignored, FALSE)) return LineWaitEnd::Failed;
    }
    if (WaitForSingleObject(cancel_, 0) == WAIT_OBJECT_0) return LineWaitEnd::Cancelled;
    // No event at all means the mask was changed under the wait: read again all the same.
    return LineWaitEnd::Changed;
}

ModemInputs Win32LineWaiter::readInputs() {
    DWORD status = 0;
    if (port_ == INVALID_HANDLE_VALUE || !GetCommModemStatus(port_, &status))
        return {kSioSystemError, kSioSystemError};
    return {(status & MS_CTS_ON) != 0 ? 1 : 0, (status & MS_RLSD_ON) != 0 ? 1 : 0};
}

void Win32LineWaiter::cancel() {
    if (cancel_ != nullptr) SetEvent(cancel_);
}

}  // namespace ups
